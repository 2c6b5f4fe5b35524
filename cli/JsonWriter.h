#pragma once

#include <QByteArray>
#include <QString>

#include <string>
#include <vector>

namespace kelmo::cli {

// A small JSON writer that prints every number in its shortest round-trip form: a float as a
// float (167, not 167.00000762939453), a double as a double.
class JsonWriter {
public:
    void beginObject();
    void endObject();
    void beginArray(const char* key = nullptr);
    void endArray();
    void key(const char* key);

    void number(const char* key, double v);
    void number(double v);
    void singleNumber(float v);
    void numbers(const char* key, const std::vector<double>& values);
    void singleNumbers(const char* key, const std::vector<float>& values);
    void integer(const char* key, long long v);
    void string(const char* key, const QString& v);
    void null(const char* key);

    // The text written so far.
    QByteArray text() const {
        return QByteArray(m_out.data(), static_cast<qsizetype>(m_out.size()));
    }

private:
    void separate();
    void raw(const char* text);

    std::string m_out;
    std::vector<bool> m_first; // one per open container: no element written yet
    bool m_afterKey = false;
};

} // namespace kelmo::cli
