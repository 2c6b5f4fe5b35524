// The number parser takes whatever a user types into a field or an option.

#include "core/NumberText.h"

#include <QString>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    static const QLocale russian(QLocale::Russian, QLocale::Russia);
    for (const QLocale& locale : {russian, QLocale::c()}) {
        const auto v = kelmo::numtext::parse(text, locale);
        if (v) {
            // A number that was read is finite, and its own text reads back to it.
            if (!std::isfinite(*v)) {
                std::abort();
            }
            const auto again = kelmo::numtext::parse(kelmo::numtext::roundTrip(*v), locale);
            if (!again || *again != *v) {
                std::abort();
            }
            (void)kelmo::numtext::general(*v, locale);
            (void)kelmo::numtext::fixed(*v, 3, locale);
        }
    }
    return 0;
}
