#pragma once
// One JSON object on one line, for scripts and deployment tools that read
// the configurator's output. Keys keep the order they were added in. Texts
// are given in UTF-8; a byte that is not part of valid UTF-8 becomes U+FFFD,
// so the output parses whatever the registry held. Portable, so that it is
// unit-tested natively.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qb480 {

class CJsonObject {
public:
    CJsonObject& Text(const char* key, const std::string& utf8);
    CJsonObject& Text(const char* key, const std::optional<std::string>& utf8);  // null when absent
    CJsonObject& Number(const char* key, std::uint32_t value);
    CJsonObject& Number(const char* key, const std::optional<std::uint32_t>& value);
    CJsonObject& Bool(const char* key, bool value);
    CJsonObject& Objects(const char* key, const std::vector<CJsonObject>& items);

    // The object, "{...}", without a line end.
    std::string Str() const { return "{" + m_members + "}"; }

private:
    CJsonObject& Member(const char* key, const std::string& json);

    std::string m_members;
};

// The length of the valid UTF-8 sequence at text[at], or 0 for a byte that
// starts none (overlong forms, surrogates and values above U+10FFFF
// included).
std::size_t Utf8SequenceLength(const std::string& text, std::size_t at);

// A JSON string literal, quotes included.
std::string JsonString(const std::string& utf8);

}  // namespace qb480
