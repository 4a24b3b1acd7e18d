#include "Json.h"

#include <cmath>
#include <cstdio>

namespace
{

std::string quoted(const std::string& text)
{
    std::string result = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\')
            result += '\\';
        if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            result += escaped;
            continue;
        }
        result += c;
    }
    return result + "\"";
}

} // namespace

void JsonWriter::item(const std::string& key)
{
    if (!m_first)
        m_text += ',';
    if (!m_open.empty())
        m_text += '\n' + std::string(m_open.size() * 2, ' ');
    if (!m_open.empty() && m_open.back() == '{')
        m_text += quoted(key) + ": ";
    m_first = false;
}

void JsonWriter::beginObject(const std::string& key)
{
    item(key);
    m_text += '{';
    m_open += '{';
    m_first = true;
}

void JsonWriter::endObject()
{
    m_open.pop_back();
    m_text += '\n' + std::string(m_open.size() * 2, ' ') + '}';
    m_first = false;
}

void JsonWriter::beginArray(const std::string& key)
{
    item(key);
    m_text += '[';
    m_open += '[';
    m_first = true;
}

void JsonWriter::endArray()
{
    m_open.pop_back();
    m_text += '\n' + std::string(m_open.size() * 2, ' ') + ']';
    m_first = false;
}

void JsonWriter::value(const std::string& key, double number)
{
    item(key);
    if (!std::isfinite(number)) {
        m_text += "null";
        return;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", number);
    m_text += text;
}

void JsonWriter::value(const std::string& key, long number)
{
    item(key);
    m_text += std::to_string(number);
}

void JsonWriter::value(const std::string& key, bool flag)
{
    item(key);
    m_text += flag ? "true" : "false";
}

void JsonWriter::value(const std::string& key, const std::string& text)
{
    item(key);
    m_text += quoted(text);
}
