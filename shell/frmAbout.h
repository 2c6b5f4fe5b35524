#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class frmAbout;
}

namespace kelmo::shell {

// The About window: title, version, description and the system information button.
class frmAbout final : public QDialog {
    Q_OBJECT

public:
    explicit frmAbout(QWidget* parent = nullptr);
    ~frmAbout() override;

private:
    void startSysInfo();

    std::unique_ptr<Ui::frmAbout> m_ui;
};

// The message shown when no system information program can be started.
inline constexpr const char* kSysInfoUnavailable = "System Information Is Unavailable At This Time";

} // namespace kelmo::shell
