#include "reports/ReportBlocks.h"

namespace kelmo::reports {

void appendBlock(docx::Document& d, double sizePt, bool bold, docx::Align align, bool keepNext,
                 const QStringList& lines) {
    d.startRange();
    d.setRangeSize(sizePt);
    d.setRangeBold(bold);
    d.setRangeAlign(align);
    d.setRangeKeepNext(keepNext);
    for (const QString& line : lines) {
        d.append(line);
    }
}

} // namespace kelmo::reports
