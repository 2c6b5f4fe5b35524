#pragma once

#include "windows/WindowContext.h"

#include <QMainWindow>

#include <memory>

namespace Ui {
class SituationWindow;
}

class QSortFilterProxyModel;
class QTableView;
class QTabWidget;

namespace kelmo::map {
class PlanMapPage;
}

namespace kelmo::situation {
class Session;
}

namespace kelmo::ui {
class Settings;
}

namespace kelmo::plan {

class SituationModel;

// The engineering situation on a site plan: what the charge does to each structure, the
// totals and the documents. The body is a tab widget whose first page is the table, so
// further views of the same situation can be added as pages.
class SituationWindow final : public QMainWindow {
    Q_OBJECT

public:
    // With the context's settings, the save dialogs start in the folders last used for these
    // documents. With its connection string, the map shows the plan's own picture.
    SituationWindow(const WindowContext& context, std::shared_ptr<situation::Session> session,
                    QWidget* parent = nullptr);
    ~SituationWindow() override;

    QTabWidget* tabs() const;
    QTableView* table() const;
    map::PlanMapPage* mapPage() const { return m_mapPage; }
    const situation::Session& session() const { return *m_session; }

    // The calculation again with the body mass typed; false (after a message, the shown
    // results kept) when the field is not a number the calculation can take.
    bool recalculate();
    // The whole table, as shown, as tab-separated text on the clipboard; returns the text.
    QString copyTable();
    // The documents, through the save dialog; true when the file was written.
    bool writeReport();
    bool writeTable();

private:
    void showResult();

    std::unique_ptr<Ui::SituationWindow> m_ui;
    std::shared_ptr<situation::Session> m_session;
    ui::Settings* m_settings = nullptr;
    SituationModel* m_model = nullptr;
    map::PlanMapPage* m_mapPage = nullptr;
    QSortFilterProxyModel* m_sorted = nullptr;
};

} // namespace kelmo::plan
