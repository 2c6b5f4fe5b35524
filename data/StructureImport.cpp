#include "data/StructureImport.h"

#include "core/NumberText.h"
#include "engine/PlanGeometry.h"

#include <QBuffer>
#include <QHash>
#include <QSet>
#include <QStringDecoder>

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>

namespace kelmo::db {

namespace {

// Splits one line into fields; quotes may hold the separator and doubled quotes.
// nullopt when a quote is left open.
std::optional<QStringList> splitLine(const QString& line, QChar separator) {
    QStringList fields;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar ch = line[i];
        if (quoted) {
            if (ch == u'"') {
                if (i + 1 < line.size() && line[i + 1] == u'"') {
                    field += u'"';
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                field += ch;
            }
        } else if (ch == u'"') {
            quoted = true;
        } else if (ch == separator) {
            fields << field.trimmed();
            field.clear();
        } else {
            field += ch;
        }
    }
    if (quoted) {
        return std::nullopt;
    }
    fields << field.trimmed();
    return fields;
}

// A file reads the same on every machine: a point or a single comma as the decimal separator.
std::optional<double> numberOf(const QString& text) {
    return numtext::parse(text, QLocale::c());
}

std::optional<int> wholeOf(const QString& text, double max) {
    const auto v = numberOf(text);
    if (!v || *v < 0 || *v > max || std::floor(*v) != *v) {
        return std::nullopt;
    }
    return static_cast<int>(*v);
}

const char* const kCornerNames[8] = {"X1", "Y1", "X2", "Y2", "X3", "Y3", "X4", "Y4"};

// A line of column names: each field names its column ("номер" or "№", "тип", "вид",
// "этажность", "сотрудники", "X1" … "Y4"; any case, Cyrillic Х and У too, with words
// after the name such as "тип сооружения" or "X1, м"). A field with a digit in the place of
// a name, as in "№1", is data.
bool isColumnNames(const QStringList& fields) {
    if (fields.size() != kImportColumns) {
        return false;
    }
    static const QStringList kStems[5] = {
        {QStringLiteral("номер"), QStringLiteral("№"), QStringLiteral("n")},
        {QStringLiteral("тип")},
        {QStringLiteral("вид")},
        {QStringLiteral("этаж")},
        {QStringLiteral("сотрудн"), QStringLiteral("персонал"), QStringLiteral("работник")}};
    const auto normal = [](QString f) {
        f = f.toLower();
        f.remove(u' ');
        return f;
    };
    for (int i = 0; i < 5; ++i) {
        const QString f = normal(fields[i]);
        const bool named = std::any_of(kStems[i].begin(), kStems[i].end(),
                                       [&](const QString& stem) { return f.startsWith(stem); });
        if (!named || std::any_of(f.begin(), f.end(), [](QChar ch) { return ch.isDigit(); })) {
            return false;
        }
    }
    for (int k = 0; k < 8; ++k) {
        QString f = normal(fields[5 + k]);
        f.replace(u'х', u'x'); // Cyrillic letters that look like the Latin ones
        f.replace(u'у', u'y');
        const QString name = QString::fromLatin1(kCornerNames[k]).toLower();
        if (!f.startsWith(name) || (f.size() > 2 && f[2].isDigit())) {
            return false;
        }
    }
    return true;
}

// A line of separators only, as spreadsheet programs write after the last row.
bool isEmptyRow(const QStringList& fields) {
    return std::all_of(fields.begin(), fields.end(), [](const QString& f) { return f.isEmpty(); });
}

struct TypeAndKindNames {
    QString type;
    QString kind;
    bool operator==(const TypeAndKindNames&) const = default;
};
size_t qHash(const TypeAndKindNames& k, size_t seed = 0) {
    return qHashMulti(seed, k.type, k.kind);
}

int middle(const PressureRange& r) {
    const double m = std::nearbyint((r.min + r.max) / 2);
    return std::isfinite(m) ? static_cast<int>(std::clamp(m, -32768.0, 32767.0)) : 0;
}

// More refusals than a message can show are counted, not kept.
constexpr qsizetype kMaxRefusalsKept = 1000;

// A value as a message quotes it: a long one shortened, so that a field of megabytes cannot
// make the message itself unreadable.
QString shortened(const QString& value) {
    constexpr qsizetype kShown = 60;
    return value.size() <= kShown ? value : value.left(kShown - 1) + QChar(0x2026);
}

// The lines of a file, read one at a time: "\n", "\r\n" and a lone "\r" end a line, a line
// longer than kMaxImportLineBytes is skipped to its end, a byte-order mark at the start goes.
class LineReader {
public:
    struct Line {
        QString text;
        bool end = false;     // no more lines
        bool tooLong = false; // skipped
        bool notUtf8 = false;
    };

    explicit LineReader(QIODevice& file)
        : m_file(file) {}

    Line next() {
        Line line;
        QByteArray bytes;
        bool any = false;
        char ch = 0;
        while (m_file.getChar(&ch)) {
            any = true;
            if (ch == '\n') {
                break;
            }
            if (ch == '\r') {
                char after = 0;
                if (m_file.peek(&after, 1) == 1 && after == '\n') {
                    m_file.getChar(&after);
                }
                break;
            }
            if (bytes.size() >= kMaxImportLineBytes) {
                line.tooLong = true;
                continue; // on to the line's end
            }
            bytes += ch;
        }
        if (!any) {
            line.end = true;
            return line;
        }
        if (m_first && bytes.startsWith("\xEF\xBB\xBF")) {
            bytes.remove(0, 3);
        }
        m_first = false;
        if (!line.tooLong) {
            QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
            line.text = decoder.decode(bytes);
            line.notUtf8 = decoder.hasError();
        }
        return line;
    }

private:
    QIODevice& m_file;
    bool m_first = true;
};

} // namespace

StructureImport readStructuresFile(Connection& c, QIODevice& file, const ImportProgress& progress) {
    StructureImport out;
    const qint64 total = file.isSequential() ? 0 : file.size();
    LineReader reader(file);

    // The reference lists: type name → its kinds with their ranges.
    QHash<TypeAndKindNames, KindEntry> kinds;
    QSet<QString> types;
    for (const TypeRecord& type : readStructureTypes(c)) {
        types.insert(type.name);
        for (const KindEntry& kind : listKindsOfType(c, type.number)) {
            kinds.insert({type.name, kind.name}, kind);
        }
    }

    std::map<int, StructureRecord> byNumber;
    QHash<int, int> lineOfNumber;
    bool firstText = true;
    std::optional<QChar> separator;
    int dataLines = 0;
    for (int lineNo = 1;; ++lineNo) {
        if (progress && lineNo % 1024 == 0 && !progress(file.pos(), total)) {
            out.refused.append({0, QStringLiteral("чтение файла прервано")});
            break;
        }
        const auto refuse = [&](const QString& reason) {
            // Enough for the message; the count of lines goes on.
            if (out.refused.size() < kMaxRefusalsKept) {
                out.refused.append({lineNo, reason});
            }
        };
        const LineReader::Line next = reader.next();
        if (next.end) {
            break;
        }
        if (next.tooLong) {
            refuse(QStringLiteral("строка длиннее %1 байт").arg(kMaxImportLineBytes));
            continue;
        }
        if (next.notUtf8) {
            out.refused.append({lineNo, QStringLiteral("строка не в кодировке UTF-8; сохраните "
                                                       "файл как «CSV UTF-8»")});
            break;
        }
        const QString& text = next.text;
        if (text.trimmed().isEmpty()) {
            continue;
        }
        // The separator: a semicolon when the first line with text has one.
        if (!separator) {
            separator = text.contains(u';') ? u';' : u',';
        }
        const auto split = splitLine(text, *separator);
        if (!split) {
            refuse(QStringLiteral("кавычка не закрыта"));
            continue;
        }
        const QStringList& f = *split;
        if (isEmptyRow(f)) {
            continue;
        }
        const bool header = firstText && isColumnNames(f);
        firstText = false;
        if (f.size() != kImportColumns) {
            refuse(QStringLiteral("%1 полей вместо %2 (номер, тип, вид, этажность, сотрудники, "
                                  "X1, Y1, X2, Y2, X3, Y3, X4, Y4; разделитель «%3»)")
                       .arg(f.size())
                       .arg(kImportColumns)
                       .arg(*separator));
            continue;
        }
        if (header) {
            continue; // column names
        }
        if (++dataLines > kMaxStructureNumber) {
            out.refused.append({lineNo, QStringLiteral("в файле больше %1 сооружений — столько "
                                                       "в плане не поместится; чтение остановлено")
                                            .arg(kMaxStructureNumber)});
            break;
        }
        const auto number = wholeOf(f[0], kMaxStructureNumber);
        if (!number || *number < 1) {
            refuse(QStringLiteral("номер «%1» — нужно целое число от 1 до %2")
                       .arg(shortened(f[0]))
                       .arg(kMaxStructureNumber));
            continue;
        }
        if (lineOfNumber.contains(*number)) {
            refuse(QStringLiteral("номер %1 уже был в строке %2")
                       .arg(*number)
                       .arg(lineOfNumber.value(*number)));
            continue;
        }
        StructureRecord r;
        r.number = *number;
        r.type = f[1];
        r.kind = f[2];
        if (!types.contains(r.type)) {
            refuse(QStringLiteral("тип сооружения «%1» не найден в справочнике")
                       .arg(shortened(r.type)));
            continue;
        }
        const auto kind = kinds.constFind({r.type, r.kind});
        if (kind == kinds.constEnd()) {
            refuse(QStringLiteral("вид «%1» не найден среди видов типа «%2»")
                       .arg(shortened(r.kind), shortened(r.type)));
            continue;
        }
        const auto storeys = wholeOf(f[3], 1.0e6);
        if (!storeys) {
            refuse(QStringLiteral("этажность «%1» — нужно целое число, не меньше 0")
                       .arg(shortened(f[3])));
            continue;
        }
        const auto staff = wholeOf(f[4], 1.0e6);
        if (!staff) {
            refuse(QStringLiteral("число сотрудников «%1» — нужно целое число, не меньше 0")
                       .arg(shortened(f[4])));
            continue;
        }
        r.storeys = QString::number(*storeys);
        r.staff = QString::number(*staff);
        bool cornersGood = true;
        for (int k = 0; k < 8; ++k) {
            const auto v = numberOf(f[5 + k]);
            if (!v) {
                refuse(QStringLiteral("координата %1 «%2» не является числом")
                           .arg(QLatin1String(kCornerNames[k]), shortened(f[5 + k])));
                cornersGood = false;
                break;
            }
            if (!std::isfinite(*v) || std::abs(*v) > kMaxPlanCoordinate) {
                refuse(QStringLiteral("координата %1 «%2» вне пределов ±100 000 000 м")
                           .arg(QLatin1String(kCornerNames[k]), shortened(f[5 + k])));
                cornersGood = false;
                break;
            }
            r.corners[static_cast<std::size_t>(k)] = numtext::roundTrip(*v);
        }
        if (!cornersGood) {
            continue;
        }
        for (std::size_t d = 0; d < 4; ++d) {
            r.pressure[d] = middle(kind->ranges[d]);
        }
        r.selected[0] = true; // the editor's first degree
        lineOfNumber.insert(*number, lineNo);
        byNumber.emplace(*number, r);
    }
    for (auto& [number, record] : byNumber) {
        out.records.append(record);
    }
    if (out.records.isEmpty() && out.refused.isEmpty()) {
        out.refused.append({0, QStringLiteral("в файле нет ни одного сооружения")});
    }
    return out;
}

StructureImport readStructuresFile(Connection& c, const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return readStructuresFile(c, buffer);
}

StructureImport importStructures(Connection& c, int plan, const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return importStructures(c, plan, buffer);
}

StructureImport importStructures(Connection& c, int plan, QIODevice& file,
                                 const ImportProgress& progress) {
    StructureImport result = readStructuresFile(c, file, progress);
    if (!result.refused.isEmpty()) {
        return result;
    }
    QList<StructureRecord> records = result.records;
    for (StructureRecord& r : records) {
        r.plan = plan;
    }
    result.firstNumber = appendStructures(c, plan, records);
    return result;
}

QString refusalReport(const QList<RefusedLine>& refused, int limit) {
    QStringList lines;
    for (const RefusedLine& r : refused) {
        if (lines.size() == limit) {
            lines << QStringLiteral("… и ещё %1 строк").arg(refused.size() - limit);
            break;
        }
        lines << (r.line > 0 ? QStringLiteral("строка %1: %2").arg(r.line).arg(r.reason)
                             : r.reason);
    }
    return lines.join(u'\n');
}

} // namespace kelmo::db
