#include "cli/JsonWriter.h"

#include <charconv>
#include <cmath>

namespace kelmo::cli {

namespace {

template <typename T> QByteArray shortest(T v) {
    if (!std::isfinite(v)) {
        return "null"; // JSON has no infinity; the engine never stores one
    }
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, v);
    return QByteArray(buffer, static_cast<qsizetype>(result.ptr - buffer));
}

QByteArray quoted(const QString& s) {
    QByteArray out = "\"";
    for (const char c : s.toUtf8()) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                out += QByteArray("\\u00") +
                       QByteArray::number(static_cast<unsigned char>(c), 16).rightJustified(2, '0');
            } else {
                out += c;
            }
        }
    }
    return out + "\"";
}

} // namespace

void JsonWriter::separate() {
    if (m_afterKey) {
        m_afterKey = false;
        return;
    }
    if (!m_first.empty()) {
        if (!m_first.back()) {
            m_out += ',';
        }
        m_first.back() = false;
    }
}

void JsonWriter::raw(const QByteArray& text) {
    separate();
    m_out += text;
}

void JsonWriter::key(const char* key) {
    separate();
    m_out += quoted(QString::fromUtf8(key)) + ':';
    m_afterKey = true;
}

void JsonWriter::beginObject() {
    raw("{");
    m_first.push_back(true);
}

void JsonWriter::endObject() {
    m_first.pop_back();
    m_out += '}';
}

void JsonWriter::beginArray(const char* k) {
    if (k) {
        key(k);
    }
    raw("[");
    m_first.push_back(true);
}

void JsonWriter::endArray() {
    m_first.pop_back();
    m_out += ']';
}

void JsonWriter::number(const char* k, double v) {
    key(k);
    number(v);
}

void JsonWriter::number(double v) {
    raw(shortest(v));
}

void JsonWriter::singleNumber(float v) {
    raw(shortest(v));
}

void JsonWriter::numbers(const char* k, const std::vector<double>& values) {
    beginArray(k);
    for (const double v : values) {
        number(v);
    }
    endArray();
}

void JsonWriter::singleNumbers(const char* k, const std::vector<float>& values) {
    beginArray(k);
    for (const float v : values) {
        singleNumber(v);
    }
    endArray();
}

void JsonWriter::integer(const char* k, long long v) {
    key(k);
    raw(QByteArray::number(v));
}

void JsonWriter::string(const char* k, const QString& v) {
    key(k);
    raw(quoted(v));
}

void JsonWriter::null(const char* k) {
    key(k);
    raw("null");
}

} // namespace kelmo::cli
