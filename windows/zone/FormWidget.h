#pragma once

#include <QWidget>

namespace kelmo::zone {

// A widget made of its own Designer form, promoted into a bigger form: the pages of the results
// window and the sections of its results page. The window reaches the controls through form();
// their objectNames are those of the whole window.
template <typename Form> class FormWidget final : public QWidget {
public:
    explicit FormWidget(QWidget* parent = nullptr)
        : QWidget(parent) {
        m_form.setupUi(this);
    }

    const Form& form() const { return m_form; }

private:
    Form m_form;
};

} // namespace kelmo::zone
