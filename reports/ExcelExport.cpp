#include "reports/ExcelExport.h"

#include "core/NumberText.h"
#include "core/ProfileText.h"
#include "core/SafeFile.h"
#include "reports/DocumentError.h"
#include "reports/SituationReport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <xlsxwriter.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

namespace kelmo::reports {

namespace {

QString errorText(lxw_error e) {
    switch (e) {
    case LXW_ERROR_MEMORY_MALLOC_FAILED:
        return QStringLiteral("не хватает памяти");
    case LXW_ERROR_CREATING_XLSX_FILE:
        return QStringLiteral("не удалось создать файл");
    case LXW_ERROR_CREATING_TMPFILE:
    case LXW_ERROR_READING_TMPFILE:
        return QStringLiteral("не удалось записать или прочитать временный файл");
    case LXW_ERROR_ZIP_FILE_OPERATION:
    case LXW_ERROR_ZIP_FILE_ADD:
    case LXW_ERROR_ZIP_CLOSE:
        return QStringLiteral("ошибка записи файла (возможно, на диске нет места)");
    default:
        return QStringLiteral("внутренняя ошибка библиотеки записи книг (код %1)")
            .arg(static_cast<int>(e));
    }
}

constexpr uint8_t kPaperA4 = 9;

void check(lxw_error e, const QString& path) {
    if (e != LXW_NO_ERROR) {
        throw DocumentError(QStringLiteral("Не удалось записать книгу Excel «%1»: %2.")
                                .arg(QDir::toNativeSeparators(path), errorText(e)));
    }
}

// The workbook writer prints its own English "[ERROR]" lines on the standard error before
// it returns an error code; the user gets our message instead, so they are held back while
// it works.
class QuietStderr final {
public:
    QuietStderr() {
#ifdef Q_OS_UNIX
        std::fflush(stderr);
        m_saved = ::dup(STDERR_FILENO);
        const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (m_saved >= 0 && null >= 0) {
            ::dup2(null, STDERR_FILENO);
        }
        if (null >= 0) {
            ::close(null);
        }
#endif
    }
    ~QuietStderr() {
#ifdef Q_OS_UNIX
        std::fflush(stderr);
        if (m_saved >= 0) {
            ::dup2(m_saved, STDERR_FILENO);
            ::close(m_saved);
        }
#endif
    }
    QuietStderr(const QuietStderr&) = delete;
    QuietStderr& operator=(const QuietStderr&) = delete;

private:
    int m_saved = -1;
};

// A new workbook to be written to the file's temporary name, with its one sheet and the bold
// formats of the sheet's title (12 pt) and column headings. Throws DocumentError.
struct NewSheet {
    lxw_workbook* book;
    lxw_worksheet* sheet;
    lxw_format* title;
    lxw_format* header;
};

NewSheet newSheet(const SafeFile& file, const QString& path, const char* sheetName,
                  lxw_workbook_options* options = nullptr) {
    const QByteArray tempName = QFile::encodeName(file.tempPath());
    lxw_workbook* wb = workbook_new_opt(tempName.constData(), options);
    if (!wb) {
        throw DocumentError(QStringLiteral("Не удалось создать книгу Excel «%1».")
                                .arg(QDir::toNativeSeparators(path)));
    }
    lxw_worksheet* ws = workbook_add_worksheet(wb, sheetName);
    lxw_format* title = workbook_add_format(wb);
    format_set_bold(title);
    format_set_font_size(title, 12);
    lxw_format* header = workbook_add_format(wb);
    format_set_bold(header);
    return {wb, ws, title, header};
}

} // namespace

void writeProfileWorkbook(const CalcState& s, const QString& path, const QLocale& locale) {
    (void)locale;        // the cells are numbers; Excel shows them in the reader's own locale
    SafeFile file(path); // refuses a device or a pipe, follows a link to its file

    QTemporaryDir scratch; // row storage of the constant-memory mode
    const QByteArray scratchName = QFile::encodeName(scratch.path());
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = scratch.isValid() ? const_cast<char*>(scratchName.constData()) : nullptr;
    QuietStderr quiet;
    const auto [wb, ws, title, header] = newSheet(file, path, kWorkbookSheetName, &options);
    format_set_font_size(header, 10);
    // The grid's formats of the three columns written here, one object for each distinct
    // number format. The writer looks a format up by its properties once and keeps the
    // index in the object; a second object with the same properties would be looked up
    // again for every cell, which costs more than writing the cell.
    constexpr lxw_col_t kColumns = 3;
    lxw_format* formats[kColumns] = {};
    for (lxw_col_t c = 0; c < kColumns; ++c) {
        if (profile::columnDecimals(static_cast<int>(c)) <= 0) {
            continue;
        }
        const char* numberFormat = profile::columnExcelFormat(static_cast<int>(c));
        for (lxw_col_t before = 0; before < c && !formats[c]; ++before) {
            if (formats[before] && std::strcmp(profile::columnExcelFormat(static_cast<int>(before)),
                                               numberFormat) == 0) {
                formats[c] = formats[before];
            }
        }
        if (!formats[c]) {
            formats[c] = workbook_add_format(wb);
            format_set_num_format(formats[c], numberFormat);
        }
    }
    // Distances to the decimals of the step: a walk of repeated additions leaves float noise
    // in the last digits ("49.469999999999") that the general format would show.
    if (const int distanceDecimals = numtext::stepDecimals(s.step); distanceDecimals > 0) {
        const std::string pattern =
            "0." + std::string(static_cast<std::size_t>(distanceDecimals), '0');
        formats[0] = workbook_add_format(wb);
        format_set_num_format(formats[0], pattern.c_str());
    }

    // On paper: A4 portrait, the three columns on one page across, the title and the header
    // on every page; on screen the header stays in view while the rows scroll.
    worksheet_set_paper(ws, kPaperA4);
    worksheet_set_portrait(ws);
    worksheet_fit_to_pages(ws, 1, 0);
    worksheet_set_footer(ws, "&CСтраница &P из &N");
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
    // The grid's decimals, looked up once: the loop below runs for every row of the run.
    const int decimals1 = profile::columnDecimals(1);
    const int decimals2 = profile::columnDecimals(2);
    for (int i = 1; i <= s.pointCount; ++i) {
        const ProfileRow& row = s.profile.row(i);
        const auto r = static_cast<lxw_row_t>(i + 1);
        worksheet_write_number(ws, r, 0, row.r, formats[0]);
        worksheet_write_number(ws, r, 1, numtext::shownValue(row.deltaPkgf, decimals1), formats[1]);
        worksheet_write_number(ws, r, 2, numtext::shownValue(row.deltaPkPa, decimals2), formats[2]);
    }
    check(workbook_close(wb), path);
    file.commit();
}

void writeSituationWorkbook(const SituationReportInput& in, const QString& path,
                            const QLocale& locale) {
    if (in.result == nullptr) {
        throw DocumentError(QStringLiteral("Таблица не записана: нет результатов расчета."));
    }
    const SituationResult& r = *in.result;
    SafeFile file(path);
    QuietStderr quiet;
    const auto [wb, ws, title, header] = newSheet(file, path, kSituationSheetName);
    format_set_text_wrap(header);
    format_set_border(header, LXW_BORDER_THIN);
    lxw_format* text = workbook_add_format(wb);
    format_set_border(text, LXW_BORDER_THIN);
    // Long names (type, kind, the note) wrap within their column instead of being cut.
    lxw_format* wrapped = workbook_add_format(wb);
    format_set_border(wrapped, LXW_BORDER_THIN);
    format_set_text_wrap(wrapped);
    format_set_align(wrapped, LXW_ALIGN_VERTICAL_TOP);
    lxw_format* numbers[3] = {};
    const char* const patterns[3] = {"0", "0.0", "0.00"};
    for (int i = 0; i < 3; ++i) {
        numbers[i] = workbook_add_format(wb);
        format_set_num_format(numbers[i], patterns[i]);
        format_set_border(numbers[i], LXW_BORDER_THIN);
    }
    const auto utf8 = [](const QString& s) {
        return s.toUtf8();
    };

    lxw_row_t row = 0;
    worksheet_write_string(ws, row++, 0, kSituationTitle, title);
    const auto typed = [&locale](const QString& typedText) {
        return numtext::typedNumber(typedText, locale);
    };
    // The inputs: a caption, and in column D the number itself (a text only when what was
    // typed is not a number), so that a reviewer's formulas can use them.
    // A structured binding is captured through a plain pointer: older compilers refuse it.
    lxw_worksheet* const sheet = ws;
    const auto fact = [&, sheet](const QString& caption, const QString& typedText) {
        worksheet_write_string(sheet, row, 0, utf8(caption).constData(), nullptr);
        if (const std::optional<double> v = numtext::parse(typedText, locale)) {
            worksheet_write_number(sheet, row, 3, *v, nullptr);
        } else {
            worksheet_write_string(sheet, row, 3, utf8(typed(typedText)).constData(), nullptr);
        }
        ++row;
    };
    worksheet_write_string(ws, row++, 0, utf8(QStringLiteral("План: ") + in.planName).constData(),
                           nullptr);
    worksheet_write_string(ws, row++, 0,
                           utf8(QStringLiteral("Наименование КВВ: ") + in.charge.name).constData(),
                           nullptr);
    fact(QStringLiteral("Масса конденсированного ВВ (кг):"), in.charge.massText);
    fact(in.charge.energyCaption, in.charge.energyText);
    worksheet_write_string(ws, row++, 0,
                           utf8(QStringLiteral("Условие размещения сосредоточенного заряда: ") +
                                in.charge.placementText)
                               .constData(),
                           nullptr);
    fact(QStringLiteral("Координаты места хранения КВВ (м), Х и У:"), in.xText);
    --row;
    if (const std::optional<double> y = numtext::parse(in.yText, locale)) {
        worksheet_write_number(ws, row, 4, *y, nullptr);
    } else {
        worksheet_write_string(ws, row, 4, utf8(typed(in.yText)).constData(), nullptr);
    }
    ++row;
    fact(QStringLiteral("Масса тела человека (кг):"), in.charge.bodyMassText);
    worksheet_write_string(ws, row, 0, "Тротиловый эквивалент заряда (кг):", nullptr);
    lxw_format* massFormat = workbook_add_format(wb);
    format_set_num_format(massFormat, "0.0");
    worksheet_write_number(ws, row++, 3, numtext::shownValue(r.massTNT, 1), massFormat);
    for (const QString& line : in.scenarioLines) {
        worksheet_write_string(ws, row++, 0, utf8(line).constData(), nullptr);
    }
    ++row;

    const lxw_row_t headerRow = row;
    worksheet_set_row(ws, headerRow, 30, nullptr); // two lines of a wrapped heading
    const QStringList head = situationHeader();
    for (int c = 0; c < kSitColumnCount; ++c) {
        worksheet_write_string(ws, row, static_cast<lxw_col_t>(c), utf8(head[c]).constData(),
                               header);
    }
    ++row;
    for (std::size_t i = 0; i < r.rows.size(); ++i) {
        const SituationRow& structure = r.rows[i];
        for (int c = 0; c < kSitColumnCount; ++c) {
            const auto col = static_cast<lxw_col_t>(c);
            const auto value = situationValue(structure, c);
            if (value && c != kSitDegree) {
                worksheet_write_number(ws, row, col, *value, numbers[situationDecimals(c)]);
            } else if (c == kSitWarning) {
                worksheet_write_string(ws, row, col, utf8(situationNote(in, i, locale)).constData(),
                                       text);
            } else {
                const bool wrap = c == kSitType || c == kSitKind || c == kSitWarning;
                worksheet_write_string(ws, row, col,
                                       utf8(situationCell(structure, c, locale)).constData(),
                                       wrap ? wrapped : text);
            }
        }
        ++row;
    }
    ++row;
    // The totals are text: in the user's locale, as the Word report writes them.
    for (const QString& line : situationTotalsLines(r.totals, locale)) {
        worksheet_write_string(ws, row++, 0, utf8(line).constData(), nullptr);
    }

    worksheet_set_paper(ws, kPaperA4);
    worksheet_set_landscape(ws);
    worksheet_fit_to_pages(ws, 1, 0);
    worksheet_set_footer(ws, "&CСтраница &P из &N");
    worksheet_repeat_rows(ws, headerRow, headerRow);
    worksheet_freeze_panes(ws, headerRow + 1, 0);
    const double widths[kSitColumnCount] = {5, 22, 28, 10, 12, 12, 10, 12, 13, 9, 9, 9, 14, 40};
    for (int c = 0; c < kSitColumnCount; ++c) {
        worksheet_set_column(ws, static_cast<lxw_col_t>(c), static_cast<lxw_col_t>(c), widths[c],
                             nullptr);
    }
    check(workbook_close(wb), path);
    file.commit();
}

} // namespace kelmo::reports
