#pragma once

#include "ui_GridPage.h"
#include "ui_PressureKPaPage.h"
#include "ui_PressureKgfPage.h"
#include "ui_ProbitPage.h"
#include "ui_ResultsPage.h"

#include <QWidget>

namespace kelmo::zone {

// A page of the results window: a widget with its own form, promoted into ZoneResultsWindow.ui. The
// results window reaches the controls through form(); their objectNames are those of the
// whole window.
template <typename Form> class OutputPage final : public QWidget {
public:
    explicit OutputPage(QWidget* parent = nullptr)
        : QWidget(parent) {
        m_form.setupUi(this);
    }

    const Form& form() const { return m_form; }

private:
    Form m_form;
};

using ResultsPage = OutputPage<Ui::ResultsPage>;         // radii, zones and the point
using PressureKgfPage = OutputPage<Ui::PressureKgfPage>; // kgf/cm² chart, range and lookup
using PressureKPaPage = OutputPage<Ui::PressureKPaPage>; // kPa chart
using GridPage = OutputPage<Ui::GridPage>;               // the profile table
using ProbitPage = OutputPage<Ui::ProbitPage>;           // the three probit charts

} // namespace kelmo::zone
