#pragma once
// A small JSON writer for the results file: objects and arrays are opened and closed in
// order, keys and values written as they come. Numbers are written with enough digits for
// microseconds and CPU shares.

#include <string>

class JsonWriter
{
public:
    void beginObject(const std::string& key = {});
    void endObject();
    void beginArray(const std::string& key);
    void endArray();
    void value(const std::string& key, double number);
    void value(const std::string& key, long number);
    void value(const std::string& key, bool flag);
    void value(const std::string& key, const std::string& text);

    const std::string& text() const { return m_text; }

private:
    // Comma, line break, indentation and the key (when inside an object) before an item.
    void item(const std::string& key);

    std::string m_text;
    std::string m_open;  // '{' or '[' per open level
    bool m_first = true; // no item yet at the current level
};
