#include "core/NameOrder.h"

#include <QLocale>

namespace kelmo {

NameOrder::NameOrder()
    : m_collator(QLocale(QLocale::Russian, QLocale::Russia)) {
    m_collator.setNumericMode(true);
}

bool NameOrder::operator()(const QString& a, const QString& b) const {
    const int order = m_collator.compare(a, b);
    // Names the collator holds equal still come in one order.
    return order != 0 ? order < 0 : a < b;
}

} // namespace kelmo
