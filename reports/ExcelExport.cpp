#include "reports/ExcelExport.h"

#include "core/NumberText.h"
#include "core/ProfileText.h"
#include "reports/DocumentError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <xlsxwriter.h>

#include <charconv>
#include <cmath>

namespace kelmo::reports {

namespace {

// The value Excel stores when the shown text is typed: the number rounded to the decimals
// shown, half away from zero as the text formatting does.
double shownValue(double v, int decimals) {
    char text[64];
    const auto written =
        std::to_chars(text, text + sizeof text, v, std::chars_format::fixed, decimals);
    double shown = v;
    if (written.ec == std::errc())
        std::from_chars(text, written.ptr, shown);
    return shown;
}

constexpr uint8_t kPaperA4 = 9;

void check(lxw_error e, const QString& path) {
    if (e != LXW_NO_ERROR)
        throw DocumentError(
            QStringLiteral("Не удалось записать книгу Excel «%1»: %2")
                .arg(QDir::toNativeSeparators(path), QString::fromUtf8(lxw_strerror(e))));
}

} // namespace

void writeProfileWorkbook(const CalcState& s, const QString& path, const QLocale& locale) {
    (void)locale; // the cells are numbers; Excel shows them in the reader's own locale
    const QFileInfo target(path);
    if (!target.dir().exists())
        throw DocumentError(QStringLiteral("Папка «%1» не существует.")
                                .arg(QDir::toNativeSeparators(target.absolutePath())));
    const QString temp = target.absoluteFilePath() + QStringLiteral(".tmp-kelmo");
    const QByteArray tempName = QFile::encodeName(temp);

    QTemporaryDir scratch; // row storage of the constant-memory mode
    const QByteArray scratchName = QFile::encodeName(scratch.path());
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = scratch.isValid() ? const_cast<char*>(scratchName.constData()) : nullptr;
    lxw_workbook* wb = workbook_new_opt(tempName.constData(), &options);
    if (!wb)
        throw DocumentError(QStringLiteral("Не удалось создать книгу Excel «%1».")
                                .arg(QDir::toNativeSeparators(path)));
    lxw_worksheet* ws = workbook_add_worksheet(wb, kWorkbookSheetName);
    lxw_format* title = workbook_add_format(wb);
    format_set_bold(title);
    format_set_font_size(title, 12);
    lxw_format* header = workbook_add_format(wb);
    format_set_bold(header);
    format_set_font_size(header, 10);
    // The grid's formats of the three columns written here.
    constexpr lxw_col_t kColumns = 3;
    lxw_format* formats[kColumns] = {};
    for (lxw_col_t c = 0; c < kColumns; ++c) {
        if (profile::columnDecimals(static_cast<int>(c)) > 0) {
            formats[c] = workbook_add_format(wb);
            format_set_num_format(formats[c], profile::columnExcelFormat(static_cast<int>(c)));
        }
    }

    // On paper: A4 portrait, the three columns on one page across, the title and the header
    // on every page; on screen the header stays in view while the rows scroll.
    worksheet_set_paper(ws, kPaperA4);
    worksheet_set_portrait(ws);
    worksheet_fit_to_pages(ws, 1, 0);
    worksheet_repeat_rows(ws, 0, 1); // rows 1 and 2: a range that is always valid
    worksheet_freeze_panes(ws, 2, 0);
    worksheet_set_column(ws, 0, 0, 15, nullptr);
    worksheet_set_column(ws, 1, 1, 29, nullptr);
    worksheet_set_column(ws, 2, 2, 38, nullptr);
    worksheet_write_string(ws, 0, 0, kWorkbookTitle, title);
    const QStringList head = profile::header();
    for (lxw_col_t c = 0; c < kColumns; ++c) {
        worksheet_write_string(ws, 1, c, head[c].toUtf8().constData(), header);
    }
    for (int i = 1; i <= s.gPointCount; ++i) {
        const ProfileRow& row = s.gProfile.row(i);
        const auto r = static_cast<lxw_row_t>(i + 1);
        for (lxw_col_t c = 0; c < kColumns; ++c) {
            const int column = static_cast<int>(c);
            const int decimals = profile::columnDecimals(column);
            const double v = profile::cellValue(row, column);
            worksheet_write_number(ws, r, c, decimals > 0 ? shownValue(v, decimals) : v,
                                   formats[c]);
        }
    }
    const lxw_error e = workbook_close(wb);
    if (e != LXW_NO_ERROR)
        QFile::remove(temp);
    check(e, path);
    QFile::remove(path);
    if (!QFile::rename(temp, path)) {
        QFile::remove(temp);
        throw DocumentError(QStringLiteral("Не удалось сохранить книгу Excel «%1». Возможно, файл "
                                           "открыт в другой программе.")
                                .arg(QDir::toNativeSeparators(path)));
    }
}

} // namespace kelmo::reports
