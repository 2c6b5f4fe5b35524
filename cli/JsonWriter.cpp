#include "cli/JsonWriter.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace kelmo::cli {

namespace {

// Appends the number's shortest round-trip text, without a temporary.
template <typename T> void appendShortest(std::string& out, T v) {
    if (!std::isfinite(v)) {
        out += "null"; // JSON has no infinity; the engine never stores one
        return;
    }
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, v);
    out.append(buffer, result.ptr);
}

// Appends UTF-8 text as a JSON string. Bytes of multi-byte characters are at least 0x80 and
// pass through as they are.
void appendQuoted(std::string& out, const char* text, qsizetype size) {
    out += '"';
    qsizetype plainFrom = 0;
    const auto flush = [&](qsizetype upTo) {
        out.append(text + plainFrom, static_cast<std::size_t>(upTo - plainFrom));
    };
    for (qsizetype i = 0; i < size; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c != '"' && c != '\\') {
            continue;
        }
        flush(i);
        plainFrom = i + 1;
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
        default: {
            static constexpr char kHex[] = "0123456789abcdef";
            const char escaped[6] = {'\\', 'u', '0', '0', kHex[c >> 4], kHex[c & 0xf]};
            out.append(escaped, 6);
        }
        }
    }
    flush(size);
    out += '"';
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

void JsonWriter::raw(const char* text) {
    separate();
    m_out += text;
}

void JsonWriter::key(const char* key) {
    separate();
    appendQuoted(m_out, key, static_cast<qsizetype>(std::strlen(key)));
    m_out += ':';
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
    separate();
    appendShortest(m_out, v);
}

void JsonWriter::singleNumber(float v) {
    separate();
    appendShortest(m_out, v);
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
    separate();
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, v);
    m_out.append(buffer, result.ptr);
}

void JsonWriter::string(const char* k, const QString& v) {
    key(k);
    separate();
    const QByteArray utf8 = v.toUtf8();
    appendQuoted(m_out, utf8.constData(), utf8.size());
}

void JsonWriter::null(const char* k) {
    key(k);
    raw("null");
}

} // namespace kelmo::cli
