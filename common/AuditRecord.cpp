#include "AuditRecord.h"

#include <algorithm>

#include "EntryText.h"
#include "JsonText.h"

namespace qb480::audit {

namespace {

constexpr char kReplacement[] = "\xEF\xBF\xBD";        // U+FFFD
constexpr char kZeroWidthSpace[] = "\xE2\x80\x8B";     // U+200B
constexpr char kNewlinePicture[] = "\xE2\x90\xA4";     // U+2424 SYMBOL FOR NEWLINE
constexpr char kDeletePicture[] = "\xE2\x90\xA1";      // U+2421 SYMBOL FOR DELETE

// One character of the text: its bytes (a valid UTF-8 sequence, or one
// byte that is none) and its code point (U+FFFD for the latter).
struct Character {
    std::size_t length;
    std::uint32_t codePoint;
};

Character CharacterAt(const std::string& text, std::size_t at)
{
    const unsigned char lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80)
        return {1, lead};
    const std::size_t length = Utf8SequenceLength(text, at);
    if (!length)
        return {1, 0xFFFD};
    std::uint32_t codePoint = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i)
        codePoint = codePoint << 6 | (static_cast<unsigned char>(text[at + i]) & 0x3F);
    return {length, codePoint};
}

std::size_t UnitsOf(std::uint32_t codePoint) { return codePoint > 0xFFFF ? 2 : 1; }

// The character as the message shows it.
std::string ShownCharacter(const std::string& text, std::size_t at, const Character& c)
{
    const std::uint32_t cp = c.codePoint;
    if (cp < 0x20) {
        const char picture[] = {'\xE2', '\x90', static_cast<char>(0x80 + cp), '\0'};  // U+2400 + cp
        return picture;
    }
    if (cp == 0x7F)
        return kDeletePicture;
    if (cp == 0x85 || cp == 0x2028 || cp == 0x2029)
        return kNewlinePicture;
    if ((cp >= 0x80 && cp <= 0x9F) || (c.length == 1 && cp == 0xFFFD))
        return kReplacement;
    if (cp == '%' && at + 1 < text.size())
        return std::string("%") + kZeroWidthSpace;
    return text.substr(at, c.length);
}

std::string CutNote(std::size_t units)
{
    return "\xE2\x80\xA6 (cut: " + fw::DecimalText(static_cast<std::uint32_t>(units)) + " characters in all)";
}

// The first characters of text that take no more than units UTF-16 units,
// each passed through shown, then the note of the whole length when any
// was left out; the note counts in the units.
template <typename Shown>
std::string CutToUnits(const std::string& text, std::size_t units, Shown shown)
{
    const std::size_t total = Utf16Units(text);
    const std::string note = total > units ? CutNote(total) : std::string();
    const std::size_t budget = total > units ? units - std::min(units, Utf16Units(note)) : units;
    std::string out;
    std::size_t used = 0;
    for (std::size_t at = 0; at < text.size();) {
        const Character c = CharacterAt(text, at);
        if (used + UnitsOf(c.codePoint) > budget)
            break;
        used += UnitsOf(c.codePoint);
        out += shown(text, at, c);
        at += c.length;
    }
    return out + note;
}

std::string Shown(const std::string& value)
{
    return value.empty() ? kNone : CutToUnits(value, kMaxShownUnits, ShownCharacter);
}

std::string ShownValue(const std::optional<std::string>& value) { return value ? Shown(*value) : kNotSet; }

std::string Kept(const std::string& text, std::size_t at, const Character& c) { return text.substr(at, c.length); }

const char* TypeName(Type type)
{
    switch (type) {
    case Type::Error:
        return "error";
    case Type::Warning:
        return "warning";
    case Type::Information:
        break;
    }
    return "information";
}

// What the first three strings hold, by category.
struct SubjectKeys {
    const char* category;
    const char* subject;
    const char* oldValue;
    const char* newValue;
};
SubjectKeys KeysOf(Category category)
{
    switch (category) {
    case Category::Firmware:
        return {"firmware", "hexFile", "image", "imageBytes"};
    case Category::Driver:
        return {"driver", "service", "old", "new"};
    case Category::Settings:
        break;
    }
    return {"settings", "setting", "old", "new"};
}

std::optional<std::string> Given(const std::string& text)
{
    return text.empty() ? std::nullopt : std::optional<std::string>(text);
}

// The record's texts by Field, for the message and the JSON alike: absent
// when not set or empty (an empty old or new value stays a value). The
// process ID and the JSON record have none.
using Texts = std::vector<std::optional<std::string>>;
std::size_t At(Field field) { return static_cast<std::size_t>(field); }

Texts TextsOf(const Record& record)
{
    Texts texts(kStringCount);
    texts[At(Field::Subject)] = Given(record.subject);
    texts[At(Field::Old)] = record.oldValue;
    texts[At(Field::New)] = record.newValue;
    texts[At(Field::Outcome)] = Given(record.outcome);
    texts[At(Field::AccountSid)] = Given(record.accountSid);
    texts[At(Field::AccountName)] = Given(record.accountName);
    texts[At(Field::InitiatorSid)] = Given(record.initiatorSid);
    texts[At(Field::InitiatorName)] = Given(record.initiatorName);
    texts[At(Field::Means)] = Given(record.means);
    texts[At(Field::Sha256)] = Given(record.sha256);
    texts[At(Field::Program)] = Given(record.program);
    texts[At(Field::Version)] = Given(record.version);
    texts[At(Field::Reason)] = Given(record.reason);
    return texts;
}

std::string JsonOf(const Record& record, const Texts& texts)
{
    const SubjectKeys keys = KeysOf(record.event.category);
    const auto text = [&](Field field) { return texts[At(field)]; };
    CJsonObject json;
    json.Number("v", 1)
        .Number("event", record.event.id & 0xFFFF)
        .Text("type", std::string(TypeName(record.event.type)))
        .Text("category", std::string(keys.category))
        .Text(keys.subject, text(Field::Subject))
        .Text(keys.oldValue, text(Field::Old))
        .Text(keys.newValue, text(Field::New))
        .Text("outcome", text(Field::Outcome))
        .Text("accountSid", text(Field::AccountSid))
        .Text("accountName", text(Field::AccountName))
        .Text("initiatorSid", text(Field::InitiatorSid))
        .Text("initiatorName", text(Field::InitiatorName))
        .Text("means", text(Field::Means))
        .Text("sha256", text(Field::Sha256))
        .Text("program", text(Field::Program))
        .Text("version", text(Field::Version))
        .Number("pid", record.processId)
        .Text("reason", text(Field::Reason));
    // Only a string can hold '%'; escaped, no viewer takes it for an insert.
    std::string line;
    for (const char c : json.Str())
        line += c == '%' ? std::string("\\u0025") : std::string(1, c);
    return line;
}

// The longest texts are cut, each to half its length at a time, until the
// line fits one insertion string.
std::string FittedJson(const Record& record, const Texts& given)
{
    Texts texts = given;
    for (;;) {
        const std::string line = JsonOf(record, texts);
        if (Utf16Units(line) <= kMaxStringUnits)
            return line;
        std::size_t longest = 0;
        for (std::size_t i = 1; i < texts.size(); ++i)
            if (Utf16Units(texts[i].value_or("")) > Utf16Units(texts[longest].value_or("")))
                longest = i;
        const std::size_t units = Utf16Units(*texts[longest]);
        texts[longest] = CutToUnits(*given[longest], units / 2, Kept);
        if (Utf16Units(*texts[longest]) >= units)
            return line;  // nothing left to cut: never with the record's few short keys
    }
}

}  // namespace

std::size_t Utf16Units(const std::string& utf8)
{
    std::size_t units = 0;
    for (std::size_t at = 0; at < utf8.size();) {
        const Character c = CharacterAt(utf8, at);
        units += UnitsOf(c.codePoint);
        at += c.length;
    }
    return units;
}

std::vector<std::string> InsertionStrings(const Record& record)
{
    const Texts texts = TextsOf(record);
    std::vector<std::string> strings(kStringCount);
    for (std::size_t i = 0; i < kStringCount; ++i) {
        const bool value = i == At(Field::Old) || i == At(Field::New);
        strings[i] = value ? ShownValue(texts[i]) : Shown(texts[i].value_or(""));
    }
    strings[At(Field::ProcessId)] = fw::DecimalText(record.processId);
    strings[At(Field::Json)] = FittedJson(record, texts);
    return strings;
}

}  // namespace qb480::audit
