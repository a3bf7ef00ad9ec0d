#pragma once
// A strict reader of one JSON text (RFC 8259), for tests that read what a
// program wrote for scripts: any fault, trailing text included, gives no
// value. Strings keep their UTF-8; \u escapes of the BMP are decoded.
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace harness {

struct JsonValue {
    enum class Kind { Null, Bool, Number, Text, Array, Object } kind = Kind::Null;
    bool boolean = false;
    double number = 0;
    std::string text;
    std::vector<JsonValue> items;
    std::map<std::string, JsonValue> members;
    std::vector<std::string> keys;  // in the order written

    bool Has(const std::string& key) const { return members.count(key) != 0; }
    const JsonValue& operator[](const std::string& key) const { return members.at(key); }
};

class CJsonReader {
public:
    static std::optional<JsonValue> Read(const std::string& text)
    {
        CJsonReader reader(text);
        JsonValue value;
        if (!reader.Value(value, 0))
            return std::nullopt;
        reader.Blanks();
        return reader.m_at == text.size() ? std::optional<JsonValue>(value) : std::nullopt;
    }

private:
    explicit CJsonReader(const std::string& text) : m_text(text) {}

    void Blanks()
    {
        while (m_at < m_text.size() && std::string(" \t\r\n").find(m_text[m_at]) != std::string::npos)
            ++m_at;
    }
    bool Take(char c)
    {
        Blanks();
        if (m_at >= m_text.size() || m_text[m_at] != c)
            return false;
        ++m_at;
        return true;
    }
    bool Word(const char* word)
    {
        const std::string w(word);
        if (m_text.compare(m_at, w.size(), w) != 0)
            return false;
        m_at += w.size();
        return true;
    }
    bool String(std::string& out)
    {
        if (!Take('"'))
            return false;
        while (m_at < m_text.size()) {
            const unsigned char c = static_cast<unsigned char>(m_text[m_at++]);
            if (c == '"')
                return true;
            if (c < 0x20)
                return false;
            if (c != '\\') {
                out += static_cast<char>(c);
                continue;
            }
            if (m_at >= m_text.size())
                return false;
            const char e = m_text[m_at++];
            const std::string plain = "\"\\/bfnrt", meant = "\"\\/\b\f\n\r\t";
            if (plain.find(e) != std::string::npos) {
                out += meant[plain.find(e)];
            } else if (e == 'u' && m_at + 4 <= m_text.size()) {
                const unsigned long code = std::stoul(m_text.substr(m_at, 4), nullptr, 16);
                m_at += 4;
                if (code < 0x80) {
                    out += static_cast<char>(code);
                } else if (code < 0x800) {
                    out += static_cast<char>(0xC0 | (code >> 6));
                    out += static_cast<char>(0x80 | (code & 0x3F));
                } else {
                    out += static_cast<char>(0xE0 | (code >> 12));
                    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
                    out += static_cast<char>(0x80 | (code & 0x3F));
                }
            } else {
                return false;
            }
        }
        return false;
    }
    bool Value(JsonValue& value, int depth)
    {
        Blanks();
        if (depth > 32 || m_at >= m_text.size())
            return false;
        const char c = m_text[m_at];
        if (c == '{') {
            value.kind = JsonValue::Kind::Object;
            ++m_at;
            if (Take('}'))
                return true;
            do {
                std::string key;
                JsonValue member;
                if (!String(key) || !Take(':') || !Value(member, depth + 1) || value.Has(key))
                    return false;
                value.keys.push_back(key);
                value.members[key] = member;
            } while (Take(','));
            return Take('}');
        }
        if (c == '[') {
            value.kind = JsonValue::Kind::Array;
            ++m_at;
            if (Take(']'))
                return true;
            do {
                value.items.emplace_back();
                if (!Value(value.items.back(), depth + 1))
                    return false;
            } while (Take(','));
            return Take(']');
        }
        if (c == '"') {
            value.kind = JsonValue::Kind::Text;
            return String(value.text);
        }
        if (Word("true") || Word("false")) {
            value.kind = JsonValue::Kind::Bool;
            value.boolean = m_text[m_at - 1] == 'e' && m_text[m_at - 2] == 'u';
            return true;
        }
        if (Word("null"))
            return true;
        std::size_t used = 0;
        if (c != '-' && (c < '0' || c > '9'))
            return false;
        value.kind = JsonValue::Kind::Number;
        value.number = std::stod(m_text.substr(m_at, 32), &used);
        m_at += used;
        return used > 0;
    }

    const std::string& m_text;
    std::size_t m_at = 0;
};

}  // namespace harness
