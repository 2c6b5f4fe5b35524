#pragma once

#include "windows/WindowContext.h"

#include <QMainWindow>

#include <memory>

namespace kelmo::zone {

class Session;

// The calculation parameters: the distance step and the two pressure axes of the session.
// Loaded once; afterwards only hidden and shown, so it keeps its texts between openings.
// With the context's settings, the parameters stored by "Ok" are remembered for the next run
// of the program.
class CalculationParametersWindow final : public QMainWindow {
    Q_OBJECT

public:
    CalculationParametersWindow(const WindowContext& context, Session& session,
                                QWidget* parent = nullptr);
    ~CalculationParametersWindow() override;

    // "Ok": stores the fields in order; false when one of them is not a number.
    bool accept();

signals:
    // "Ok" stored every field; the dialog has hidden itself.
    void parametersAccepted();
    // Closed through the frame; the dialog has hidden itself and keeps its texts.
    void backRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void load();
    void resetTexts();

    // The controls of the form, named by what they are.
    struct Controls;
    std::unique_ptr<Controls> m_ui;
    Session& m_session;
    ui::Settings* m_settings;
};

} // namespace kelmo::zone
