#pragma once

#include "core/ProgramFolder.h"

#include <QDialog>

#include <memory>

namespace Ui {
class AboutDialog;
}

namespace kelmo::shell {

// The About window: title, version, description and the system information button.
class AboutDialog final : public QDialog {
    Q_OBJECT

public:
    explicit AboutDialog(QWidget* parent = nullptr);
    ~AboutDialog() override;

private:
    void startSysInfo();

    std::unique_ptr<Ui::AboutDialog> m_ui;
};

// The About window's lines on the folders in use.
QString foldersText(const ProgramFolders& folders);

// The message shown when no system information program can be started.
inline constexpr const char* kSysInfoUnavailable = "System Information Is Unavailable At This Time";

} // namespace kelmo::shell
