#include "planimport/DrawingCheck.h"

#include "planimport/PlanSource.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDir>
#include <QFile>
#include <QIODevice>

#include <cstring>

namespace kelmo::planimport {

namespace {

constexpr qint64 kChunkBytes = 1 << 16;

// A binary drawing starts with these bytes; GDAL reads only text drawings.
constexpr char kBinarySentinel[] = "AutoCAD Binary DXF";

// The line without the spaces and tabs CAD programs pad codes and values with.
QByteArrayView trimmedLine(QByteArrayView text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && (text[begin] == ' ' || text[begin] == '\t')) {
        ++begin;
    }
    while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t')) {
        --end;
    }
    return text.sliced(begin, end - begin);
}

// Whether the value is the word, in any case (as CAD programs read it).
bool isWord(QByteArrayView value, const char* word) {
    return qstrnicmp(value.data(), value.size(), word) == 0;
}

// A piece of a damaged line for a message: printable ASCII as it is, anything else as «?»,
// long lines cut.
QString shown(QByteArrayView text) {
    constexpr qsizetype kShown = 20;
    QString out;
    for (qsizetype i = 0; i < text.size() && i < kShown; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        out += c >= 0x20 && c < 0x7f ? QChar(c) : QChar(u'?');
    }
    if (text.size() > kShown) {
        out += u'…';
    }
    return out;
}

DrawingDefect tooLong(qint64 line) {
    return {line, QStringLiteral("строка длиннее %1 байт").arg(kMaxDrawingLineBytes)};
}

// Follows the drawing pair by pair: the group codes and the sections they open and close.
class PairChecker final {
public:
    // Takes the next line (without its line end); a defect stops the check.
    std::optional<DrawingDefect> line(QByteArrayView text, qint64 number) {
        if (!m_code) {
            return codeLine(text, number);
        }
        const int code = *m_code;
        m_code.reset();
        // Only the values of codes 0 (a record's kind) and 2 (a section's name) matter here.
        if (code != 0 && (code != 2 || m_place != Place::SectionName)) {
            return valueLine(code, {});
        }
        return valueLine(code, trimmedLine(text));
    }

    bool finished() const { return m_finished; }

    // What is missing when the file ends after `lines` lines.
    std::optional<DrawingDefect> end(qint64 lines) const {
        if (m_finished) {
            return std::nullopt;
        }
        if (lines == 0) {
            return DrawingDefect{0, QStringLiteral("файл пуст")};
        }
        if (m_code) {
            return DrawingDefect{m_codeLine, QStringLiteral("чертёж обрывается: у кода группы "
                                                            "нет значения")};
        }
        if (m_place != Place::Outside) {
            return unclosedSection(lines);
        }
        return DrawingDefect{lines, QStringLiteral("чертёж обрывается: нет записи конца чертежа "
                                                   "«0 / EOF»")};
    }

private:
    enum class Place { Outside, SectionName, Inside };

    std::optional<DrawingDefect> codeLine(QByteArrayView text, qint64 number) {
        const QByteArrayView code = trimmedLine(text);
        if (code.isEmpty()) {
            return DrawingDefect{number, QStringLiteral("пустая строка вместо кода группы")};
        }
        int value = code.size() <= 4 ? 0 : -1;
        for (qsizetype i = 0; i < code.size() && value >= 0; ++i) {
            value = code[i] >= '0' && code[i] <= '9' ? value * 10 + (code[i] - '0') : -1;
        }
        if (value < 0 || value > kMaxGroupCode) {
            return DrawingDefect{number, QStringLiteral("код группы «%1» — ожидается целое число "
                                                        "от 0 до %2")
                                             .arg(shown(code))
                                             .arg(kMaxGroupCode)};
        }
        m_code = value;
        m_codeLine = number;
        return std::nullopt;
    }

    std::optional<DrawingDefect> valueLine(int code, QByteArrayView value) {
        constexpr int kComment = 999;
        if (code == kComment) {
            return std::nullopt;
        }
        switch (m_place) {
        case Place::Outside:
            if (code == 0 && isWord(value, "SECTION")) {
                m_place = Place::SectionName;
                m_sectionLine = m_codeLine;
                return std::nullopt;
            }
            if (code == 0 && isWord(value, "EOF")) {
                m_finished = true;
                return std::nullopt;
            }
            return DrawingDefect{m_codeLine,
                                 code == 0 ? QStringLiteral("запись «%1» вне раздела: ожидается "
                                                            "«SECTION» или «EOF»")
                                                 .arg(shown(value))
                                           : QStringLiteral("код группы %1 вне раздела").arg(code)};
        case Place::SectionName:
            if (code != 2) {
                return DrawingDefect{m_codeLine,
                                     QStringLiteral("у раздела, начатого в строке %1, нет имени "
                                                    "(код группы 2)")
                                         .arg(m_sectionLine)};
            }
            m_section = value.toByteArray();
            m_place = Place::Inside;
            return std::nullopt;
        case Place::Inside:
            if (code == 0 && isWord(value, "ENDSEC")) {
                m_place = Place::Outside;
                return std::nullopt;
            }
            if (code == 0 && (isWord(value, "SECTION") || isWord(value, "EOF"))) {
                return unclosedSection(m_codeLine);
            }
            return std::nullopt;
        }
        return std::nullopt;
    }

    DrawingDefect unclosedSection(qint64 line) const {
        return {line, QStringLiteral("раздел «%1», начатый в строке %2, не закрыт записью "
                                     "«0 / ENDSEC»")
                          .arg(shown(m_section))
                          .arg(m_sectionLine)};
    }

    std::optional<int> m_code; // the code whose value comes next
    qint64 m_codeLine = 0;
    Place m_place = Place::Outside;
    QByteArray m_section;
    qint64 m_sectionLine = 0;
    bool m_finished = false;
};

} // namespace

std::optional<DrawingDefect> drawingDefect(QIODevice& in) {
    PairChecker pairs;
    QByteArray line;
    qint64 number = 0;
    bool first = true;
    QByteArray chunk(kChunkBytes, Qt::Uninitialized);

    // A whole line: no carriage return but the one before its line feed. The last line of the
    // file may go without its line end, but not with a carriage return alone.
    const auto take = [&](QByteArrayView text, bool fed) -> std::optional<DrawingDefect> {
        ++number;
        if (fed && text.endsWith('\r')) {
            text.chop(1);
        }
        if (text.size() > kMaxDrawingLineBytes) {
            return tooLong(number);
        }
        if (std::memchr(text.data(), '\r', static_cast<std::size_t>(text.size())) != nullptr) {
            return DrawingDefect{number, QStringLiteral("знак возврата каретки (CR) без перевода "
                                                        "строки (LF) — строки чертежа должны "
                                                        "кончаться LF или CR LF")};
        }
        return pairs.line(text, number);
    };

    for (;;) {
        const qint64 got = in.read(chunk.data(), kChunkBytes);
        if (got < 0) {
            return DrawingDefect{number + 1, QStringLiteral("файл не читается")};
        }
        if (got == 0) {
            break;
        }
        const char* data = chunk.constData();
        if (first) {
            first = false;
            const auto sentinel = static_cast<qint64>(std::strlen(kBinarySentinel));
            if (got >= sentinel && std::memcmp(data, kBinarySentinel, sentinel) == 0) {
                return DrawingDefect{0, QStringLiteral("чертёж записан в двоичном формате DXF, а "
                                                       "читается только текстовый: сохраните "
                                                       "его как DXF в формате ASCII")};
            }
        }
        qint64 at = 0;
        while (at < got) {
            const auto* feed = static_cast<const char*>(std::memchr(data + at, '\n', got - at));
            const qint64 stop = feed ? feed - data : got;
            if (line.size() + (stop - at) > kMaxDrawingLineBytes + 1) {
                return tooLong(number + 1);
            }
            if (!feed) {
                // The line goes on in the next block.
                line.append(data + at, stop - at);
                break;
            }
            std::optional<DrawingDefect> defect;
            if (line.isEmpty()) {
                defect = take(QByteArrayView(data + at, stop - at), true);
            } else {
                line.append(data + at, stop - at);
                defect = take(line, true);
                line.truncate(0); // keeps the buffer for the next line
            }
            if (defect) {
                return defect;
            }
            at = stop + 1;
            if (pairs.finished()) {
                return std::nullopt;
            }
        }
    }
    // The last line may go without its line end.
    if (!line.isEmpty()) {
        if (auto defect = take(line, false)) {
            return defect;
        }
    }
    return pairs.end(number);
}

void checkDrawing(const QString& path) {
    const QString shownPath = QDir::toNativeSeparators(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw PlanSourceError(
            QStringLiteral("Чертёж «%1» не открывается для чтения.").arg(shownPath).toStdString());
    }
    const std::optional<DrawingDefect> defect = drawingDefect(file);
    if (!defect) {
        return;
    }
    if (defect->line == 0) {
        throw PlanSourceError(QStringLiteral("Чертёж «%1» не читается: %2.")
                                  .arg(shownPath, defect->reason)
                                  .toStdString());
    }
    throw PlanSourceError(
        QStringLiteral("Чертёж «%1» повреждён, строка %2: %3. Чертёж не прочитан; "
                       "сохраните его заново в программе САПР.")
            .arg(shownPath)
            .arg(defect->line)
            .arg(defect->reason)
            .toStdString());
}

} // namespace kelmo::planimport
