#include "reports/ManualText.h"

#include <QDir>
#include <QImage>
#include <QImageReader>
#include <QRegularExpression>

#include <algorithm>
#include <optional>

namespace kelmo::reports {

namespace {

using docx::Align;
using docx::Document;
using docx::ParaFormat;

constexpr double kBodyPt = 12;
constexpr double kChapterPt = 14;

struct Heading {
    int level = 0; // 0 chapter, 1 section
    QString text;
    QString bookmark;
};

// Chapters ("# ") and sections ("## ") in the order of the text, with their bookmarks.
QList<Heading> headingsOf(const QStringList& lines) {
    QList<Heading> headings;
    for (const QString& raw : lines) {
        const QString line = raw.trimmed();
        if (line.startsWith(QStringLiteral("## "))) {
            headings.append({1, line.mid(3).trimmed(), {}});
        } else if (line.startsWith(QStringLiteral("# "))) {
            headings.append({0, line.mid(2).trimmed(), {}});
        }
    }
    for (qsizetype i = 0; i < headings.size(); ++i) {
        headings[i].bookmark = QStringLiteral("_TocKelmo%1").arg(i + 1);
    }
    return headings;
}

QString withoutSpace(QString text) {
    text.removeIf([](QChar c) { return c.isSpace(); });
    return text;
}

class ManualBuilder final {
public:
    ManualBuilder(QString pictureFolder, QStringList* missing, QStringList contentsPages)
        : m_pictures(std::move(pictureFolder))
        , m_missing(missing)
        , m_contentsPages(std::move(contentsPages)) {
        m_doc.pageSetup() = {70.9, 42.5, 56.7, 56.7};
        m_doc.properties().title = QStringLiteral("Инструкция пользователя");
    }

    void parse(const QString& text) {
        // The contents needs every heading before the first one is written.
        const QStringList lines = text.split(u'\n');
        m_headings = headingsOf(lines);
        chooseLandscapeSections(lines);
        if (m_contentsPages.size() != m_headings.size()) {
            // Without the laid-out page numbers Word fills them in when it opens the manual.
            m_contentsPages.clear();
            m_doc.properties().updateFieldsOnOpen = true;
        }

        for (const QString& raw : lines) {
            QString line = raw;
            line.remove(u'\r');
            if (line.startsWith(QStringLiteral(";;"))) {
                continue;
            }
            const QString t = line.trimmed();
            if (t.isEmpty()) {
                flush();
                continue;
            }
            if (m_inItem && line.startsWith(QStringLiteral("  ")) && !t.startsWith(u'-')) {
                m_paragraph += u' ' + t; // the item goes on
                continue;
            }
            if (!t.startsWith(u'|')) {
                flushTable();
            }
            if (t.startsWith(QStringLiteral("=! "))) {
                flush();
                line1(t.mid(3), {16, true, Align::Center});
            } else if (t.startsWith(QStringLiteral("== "))) {
                flush();
                line1(t.mid(3), {kChapterPt, true, Align::Center});
            } else if (t == QStringLiteral("[содержание]")) {
                flush();
                contents();
            } else if (t.startsWith(QStringLiteral("## "))) {
                flush();
                heading(1);
            } else if (t.startsWith(QStringLiteral("# "))) {
                flush();
                heading(0);
            } else if (t.startsWith(QStringLiteral("- "))) {
                flush();
                m_inItem = true;
                m_paragraph = QStringLiteral("– ") + t.mid(2).trimmed();
            } else if (t.startsWith(QStringLiteral("[рисунок "))) {
                flush();
                const qsizetype close = t.indexOf(u']');
                if (close < 0) {
                    throw DocumentError(
                        QStringLiteral("Инструкция: не закрыта скобка в «%1».").arg(t));
                }
                picture(t.mid(9, close - 9).trimmed(), t.mid(close + 1).trimmed());
            } else if (t.startsWith(u'|')) {
                flushText();
                QStringList cells = t.split(u'|');
                cells.removeFirst();
                if (!cells.isEmpty() && cells.last().trimmed().isEmpty()) {
                    cells.removeLast();
                }
                for (QString& c : cells) {
                    c = c.trimmed();
                }
                m_table.append(cells);
            } else {
                m_paragraph += (m_paragraph.isEmpty() ? QString() : QStringLiteral(" ")) + t;
            }
        }
        flush();
        if (m_landscape) {
            m_doc.endSection(landscapePage());
        }
    }

    const Document& document() const { return m_doc; }

private:
    double textWidth() { return docx::textWidthPt(m_doc.pageSetup()); }

    void line1(const QString& text, ParaFormat format) {
        m_doc.last().format = format;
        m_doc.append(text);
        m_doc.append(QStringLiteral("\r\n"));
    }

    void flushText() {
        if (!m_paragraph.isEmpty()) {
            line1(m_paragraph, {kBodyPt, false, Align::Left});
        }
        m_paragraph.clear();
        m_inItem = false;
    }

    void flushTable() {
        if (m_table.isEmpty()) {
            return;
        }
        qsizetype cols = 0;
        for (const QStringList& r : m_table) {
            cols = std::max(cols, r.size());
        }
        m_doc.last().format = {kBodyPt, false, Align::Left};
        auto& t = m_doc.addTable(static_cast<int>(m_table.size()), static_cast<int>(cols));
        t.autoFit = false;
        t.headerRow = true;
        if (cols == 2) {
            t.widthsPt = {textWidth() * 0.42, textWidth() * 0.58};
        }
        for (int r = 0; r < t.rows; ++r) {
            for (int c = 0; c < t.cols && c < m_table[r].size(); ++c) {
                t.cell(r, c) = m_table[r][c];
            }
        }
        m_table.clear();
        // A table ends its paragraph; the text goes on in the next one.
        m_doc.append(QString());
    }

    void flush() {
        flushText();
        flushTable();
    }

    void heading(int level) {
        orientFor(m_nextHeading);
        const Heading& h = m_headings[m_nextHeading++];
        if (level == 0) {
            line1(QString(), {kBodyPt, false, Align::Left, true});
        } else {
            line1(QString(), {6, false, Align::Left, true}); // a little air above
        }
        ParaFormat f{level == 0 ? kChapterPt : kBodyPt, true, Align::Left, true, level};
        m_doc.last().format = f;
        m_doc.appendBookmark(h.bookmark, h.text);
        m_doc.append(QStringLiteral("\r\n"));
        m_doc.last().format = {kBodyPt, false, Align::Left};
    }

    // One line per chapter and section with its page number, through page references that the
    // reader fills in.
    void contents() {
        line1(QString(), {kBodyPt, false, Align::Left});
        line1(QStringLiteral("Содержание"), {kChapterPt, true, Align::Left, true});
        for (qsizetype i = 0; i < m_headings.size(); ++i) {
            const Heading& h = m_headings[i];
            ParaFormat f{kBodyPt, h.level == 0, Align::Left, false, -1, textWidth()};
            m_doc.last().format = f;
            m_doc.append((h.level == 0 ? QString() : QStringLiteral("      ")) + h.text +
                         QStringLiteral("\t"));
            m_doc.appendField(QStringLiteral("PAGEREF %1 \\h").arg(h.bookmark),
                              m_contentsPages.value(i));
            m_doc.append(QStringLiteral("\r\n"));
        }
        m_doc.last().format = {kBodyPt, false, Align::Left};
    }

    // A picture at 200 dpi, narrowed to the text width; on a landscape page, also to the
    // page's height less its caption.
    void picture(const QString& fileName, const QString& caption) {
        const QString path = QDir(m_pictures).filePath(fileName);
        if (m_pictures.isEmpty() || !QFileInfo::exists(path)) {
            if (m_missing) {
                m_missing->append(fileName);
            }
            return;
        }
        const QImage image(path);
        if (image.isNull()) {
            throw DocumentError(QStringLiteral("Инструкция: не читается рисунок «%1».").arg(path));
        }
        const docx::PageSetup page = m_landscape ? landscapePage() : m_doc.pageSetup();
        const double height = 595.3 - page.topPt - page.bottomPt - 3 * kBodyPt * 1.5;
        double width = std::min(docx::textWidthPt(page), image.width() * 72.0 / kManualPictureDpi);
        if (m_landscape) {
            width = std::min(width, height * image.width() / image.height());
        }
        const QSizeF size(width, width * image.height() / image.width());
        m_doc.last().format = {kBodyPt, false, Align::Center, true};
        m_doc.appendPicture(image, size);
        m_doc.append(QStringLiteral("\r\n"));
        line1(caption, {kBodyPt, false, Align::Center});
        line1(QString(), {kBodyPt, false, Align::Left});
    }

    bool isWide(const QString& fileName) {
        const QSize size = QImageReader(QDir(m_pictures).filePath(fileName)).size();
        return size.isValid() && size.width() * 72.0 / kManualPictureDpi >
                                     kManualLandscapeFrom * docx::textWidthPt(m_doc.pageSetup());
    }

    // A window much wider than the text would print its letters too small to read, so a
    // section with such a picture is laid out on landscape pages. A section
    // without pictures goes as the next one of its chapter that has some, else as the one
    // before, so that short texts between wide pictures do not each get a page of their own.
    void chooseLandscapeSections(const QStringList& lines) {
        enum Kind { None, Narrow, Wide };
        QList<Kind> kinds;
        QList<int> chapters;
        int chapter = -1;
        for (const QString& raw : lines) {
            const QString t = raw.trimmed();
            if (t.startsWith(QStringLiteral("# ")) || t.startsWith(QStringLiteral("## "))) {
                chapter += t.startsWith(QStringLiteral("# ")) ? 1 : 0;
                kinds.append(None);
                chapters.append(chapter);
            } else if (t.startsWith(QStringLiteral("[рисунок ")) && !kinds.isEmpty()) {
                const QString name = t.mid(9, t.indexOf(u']') - 9).trimmed();
                const Kind kind = isWide(name) ? Wide : Narrow;
                kinds.last() = std::max(kinds.last(), kind);
            }
        }
        QList<std::optional<bool>> landscape(kinds.size());
        for (qsizetype i = kinds.size() - 1; i >= 0; --i) {
            if (kinds[i] != None) {
                landscape[i] = kinds[i] == Wide;
            } else if (i + 1 < kinds.size() && chapters[i + 1] == chapters[i]) {
                landscape[i] = landscape[i + 1];
            }
        }
        m_landscapeFrom.clear();
        for (qsizetype i = 0; i < kinds.size(); ++i) {
            m_landscapeFrom.append(landscape[i].value_or(i > 0 && m_landscapeFrom[i - 1]));
        }
    }

    docx::PageSetup landscapePage() {
        docx::PageSetup page = m_doc.pageSetup();
        page.landscape = true;
        return page;
    }

    // Turns the pages for the heading about to be written, when its section goes the other way.
    void orientFor(qsizetype heading) {
        const bool landscape = m_landscapeFrom.value(heading);
        if (landscape != m_landscape) {
            m_doc.endSection(m_landscape ? landscapePage() : m_doc.pageSetup());
            m_landscape = landscape;
        }
    }

    Document m_doc;
    QString m_pictures;
    QStringList* m_missing;
    QStringList m_contentsPages;
    QList<Heading> m_headings;
    qsizetype m_nextHeading = 0;
    QString m_paragraph;
    bool m_inItem = false;
    QList<QStringList> m_table;
    QList<bool> m_landscapeFrom; // per heading: its section is on landscape pages
    bool m_landscape = false;    // the pages being written are landscape
};

} // namespace

QStringList contentsPageNumbers(const QString& manualText, const QString& laidOut) {
    const QList<Heading> headings = headingsOf(manualText.split(u'\n'));
    const QStringList lines = laidOut.split(QRegularExpression(QStringLiteral("[\\n\\f]")));
    const auto title = std::find_if(lines.cbegin(), lines.cend(), [](const QString& line) {
        return line.trimmed() == QStringLiteral("Содержание");
    });
    if (title == lines.cend()) {
        return {};
    }
    // An entry ends in its leader dots and the page number.
    static const QRegularExpression entryEnd(QStringLiteral("(?:\\.|…){2,}\\s*(\\d+)\\s*$"));
    qsizetype at = title - lines.cbegin() + 1;
    QStringList pages;
    for (const Heading& h : headings) {
        // The start of the entry, blanks aside: the laid-out line may break it anywhere.
        const QString start = withoutSpace(h.text).left(24);
        const auto startsEntry = [&](const QString& line) {
            const QString key = withoutSpace(QString(line).remove(entryEnd));
            return !key.isEmpty() &&
                   (key.startsWith(start) ||
                    (start.startsWith(key) && key.size() >= std::min<qsizetype>(start.size(), 6)));
        };
        while (at < lines.size() && !startsEntry(lines[at])) {
            ++at;
        }
        // A long entry wraps onto a second line at most.
        QRegularExpressionMatch end;
        for (const qsizetype last = std::min(at + 2, lines.size()); at < last; ++at) {
            end = entryEnd.match(lines[at]);
            if (end.hasMatch()) {
                break;
            }
        }
        if (!end.hasMatch()) {
            return {};
        }
        pages.append(end.captured(1));
        ++at;
    }
    return pages;
}

docx::Document buildManual(const QString& text, const QString& pictureFolder,
                           QStringList* missingPictures, const QStringList& contentsPages) {
    ManualBuilder builder(pictureFolder, missingPictures, contentsPages);
    builder.parse(text);
    return builder.document();
}

} // namespace kelmo::reports
