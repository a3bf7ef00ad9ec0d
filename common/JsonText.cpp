#include "JsonText.h"

#include "EntryText.h"

namespace qb480 {

namespace {

constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD

}  // namespace

std::size_t Utf8SequenceLength(const std::string& text, std::size_t at)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    std::size_t length;
    unsigned char low = 0x80, high = 0xBF;  // the second byte's bounds
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;  // no overlong forms
        if (lead == 0xED)
            high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        if (lead == 0xF4)
            high = 0x8F;  // nothing above U+10FFFF
    } else
        return 0;
    if (at + length > text.size() || byte(at + 1) < low || byte(at + 1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i)
        if (byte(at + i) < 0x80 || byte(at + i) > 0xBF)
            return 0;
    return length;
}

namespace {

void AppendEscaped(std::string& json, unsigned char c)
{
    static const char kHex[] = "0123456789abcdef";
    switch (c) {
    case '"':
        json += "\\\"";
        return;
    case '\\':
        json += "\\\\";
        return;
    case '\n':
        json += "\\n";
        return;
    case '\r':
        json += "\\r";
        return;
    case '\t':
        json += "\\t";
        return;
    default:
        break;
    }
    if (c < 0x20 || c == 0x7F) {
        json += "\\u00";
        json += kHex[c >> 4];
        json += kHex[c & 15];
    } else
        json += static_cast<char>(c);
}

// Valid JSON keeps U+0085, U+2028 and U+2029 raw, but readers that split
// text into lines (Python's splitlines(), and with it the fleet engines
// built on it) break a line there: escaped, the object stays one line.
void AppendSequence(std::string& json, const std::string& sequence)
{
    if (sequence == "\xC2\x85")
        json += "\\u0085";
    else if (sequence == "\xE2\x80\xA8")
        json += "\\u2028";
    else if (sequence == "\xE2\x80\xA9")
        json += "\\u2029";
    else
        json += sequence;
}

}  // namespace

std::string JsonString(const std::string& utf8)
{
    std::string json = "\"";
    for (std::size_t at = 0; at < utf8.size();) {
        const unsigned char c = static_cast<unsigned char>(utf8[at]);
        if (c < 0x80) {
            AppendEscaped(json, c);
            ++at;
        } else if (const std::size_t length = Utf8SequenceLength(utf8, at)) {
            AppendSequence(json, utf8.substr(at, length));
            at += length;
        } else {
            json += kReplacement;
            ++at;
        }
    }
    return json + "\"";
}

CJsonObject& CJsonObject::Member(const char* key, const std::string& json)
{
    if (!m_members.empty())
        m_members += ",";
    m_members += JsonString(key) + ":" + json;
    return *this;
}

CJsonObject& CJsonObject::Text(const char* key, const std::string& utf8) { return Member(key, JsonString(utf8)); }

CJsonObject& CJsonObject::Text(const char* key, const std::optional<std::string>& utf8)
{
    return Member(key, utf8 ? JsonString(*utf8) : "null");
}

CJsonObject& CJsonObject::Number(const char* key, std::uint32_t value) { return Member(key, fw::DecimalText(value)); }

CJsonObject& CJsonObject::Number(const char* key, const std::optional<std::uint32_t>& value)
{
    return Member(key, value ? fw::DecimalText(*value) : "null");
}

CJsonObject& CJsonObject::Bool(const char* key, bool value) { return Member(key, value ? "true" : "false"); }

CJsonObject& CJsonObject::Objects(const char* key, const std::vector<CJsonObject>& items)
{
    std::string json = "[";
    for (const CJsonObject& item : items)
        json += (json.size() > 1 ? "," : "") + item.Str();
    return Member(key, json + "]");
}

}  // namespace qb480
