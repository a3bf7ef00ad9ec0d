#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "board/BoardRules.h"
#include "EntryText.h"
#include "board/PortModes.h"
#include "board/PortNumbering.h"
#include "settingsfile/SettingsFile.h"
#include "SettingsNames.h"
#include "Sha256.h"
#include "settingsfile/SettingsValues.h"

namespace qb480 {

namespace {

using namespace settings;

constexpr std::size_t kShownValueLength = 40;  // a refused value longer than this is shown cut

enum class Part { None, Board, Numbering, Port };

struct PortSection {
    std::string name;
    unsigned long line = 0;
    PortModesSetting modes;
};

// Reads line by line into the settings; the first fault ends the reading
// and is kept as the refusal.
class CSettingsReader {
public:
    // No more ports than the advanced options can configure.
    explicit CSettingsReader(const BoardPorts& board)
        : m_first(board.first), m_count(ListablePorts(board.count, board.first)), m_storedPrefix(board.storedPrefix)
    {
    }

    bool ReadLine(const std::string& line, unsigned long number);
    bool ResolvePorts();
    SettingsOutcome Outcome() const;

private:
    bool Refuse(const std::string& reason);
    bool RefuseValue(const std::string& key, const std::string& value, const std::string& why);
    bool EnterSection(const std::string& name);
    bool EnterFixedSection(Part part, const char* name);
    bool TakeKey(const std::string& key, const std::string& value);
    bool TakeBoardKey(const std::string& key, const std::string& value);
    bool TakeNumberingKey(const std::string& key, const std::string& value);
    bool TakePortKey(const std::string& key, const std::string& value);
    bool TakeByte(const std::string& key, const std::string& value, const FieldRange& range,
                  std::optional<std::uint8_t>& field);
    bool TakeYesNo(const std::string& key, const std::string& value, std::optional<bool>& field);
    bool ResolvePort(PortSection& port, const std::string& prefix);
    std::string PortRangeText(const std::string& prefix) const;

    const std::uint32_t m_first;
    const std::uint32_t m_count;
    const std::string m_storedPrefix;
    Settings m_settings;
    std::vector<PortSection> m_ports;
    Part m_part = Part::None;
    unsigned long m_line = 0;
    unsigned long m_boardLine = 0;      // where each fixed section began, 0 before
    unsigned long m_numberingLine = 0;
    std::vector<std::string> m_keys;    // the current section's keys so far
    std::optional<SettingsRefusal> m_refusal;
};

bool CSettingsReader::Refuse(const std::string& reason)
{
    m_refusal = SettingsRefusal{m_line, reason, {}, {}};
    return false;
}

// A name or value from the file, cut when too long to read in a message.
std::string Shown(const std::string& text)
{
    return text.size() > kShownValueLength ? text.substr(0, kShownValueLength) + "..." : text;
}

bool CSettingsReader::RefuseValue(const std::string& key, const std::string& value, const std::string& why)
{
    Refuse(key + " = " + Shown(value) + ": " + why);
    m_refusal->key = key;
    m_refusal->value = value;
    return false;
}

bool CSettingsReader::ReadLine(const std::string& text, unsigned long number)
{
    m_line = number;
    if (text.find('\0') != std::string::npos)
        return Refuse("the line holds a zero byte: this is not a text file");
    const std::string line = Trim(text);
    if (line.empty() || line[0] == ';' || line[0] == '#')
        return true;
    if (line[0] == '[') {
        if (line.back() != ']')
            return Refuse("a section name must end with ]");
        return EnterSection(Trim(line.substr(1, line.size() - 2)));
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos)
        return Refuse("not a [section], a key = value or a comment");
    const std::string key = Trim(line.substr(0, equals));
    if (key.empty())
        return Refuse("a key name is missing before =");
    return TakeKey(key, Trim(line.substr(equals + 1)));
}

bool CSettingsReader::EnterSection(const std::string& name)
{
    m_keys.clear();
    if (SameName(name, kBoardSection))
        return EnterFixedSection(Part::Board, kBoardSection);
    if (SameName(name, kNumberingSection))
        return EnterFixedSection(Part::Numbering, kNumberingSection);
    const std::size_t word = sizeof kPortSection - 1;
    const bool port = name.size() > word && (name[word] == ' ' || name[word] == '\t');
    if (port && SameName(name.substr(0, word), kPortSection)) {
        m_part = Part::Port;
        m_ports.push_back(PortSection{Trim(name.substr(word)), m_line, {}});
        return true;
    }
    return Refuse("unknown section [" + Shown(name) + "]; the sections are [" + kBoardSection + "], [" +
                  kNumberingSection + "] and [" + kPortSection + " NAME]");
}

bool CSettingsReader::EnterFixedSection(Part part, const char* name)
{
    unsigned long& first = part == Part::Board ? m_boardLine : m_numberingLine;
    if (first != 0)
        return Refuse(std::string("[") + name + "] is given twice (first on line " +
                      fw::DecimalText(static_cast<std::uint32_t>(first)) + ")");
    first = m_line;
    m_part = part;
    return true;
}

bool CSettingsReader::TakeKey(const std::string& key, const std::string& value)
{
    if (m_part == Part::None)
        return Refuse("the key " + Shown(key) + " stands before any [section]");
    for (const std::string& seen : m_keys)
        if (SameName(seen, key))
            return Refuse(key + " is given twice in this section");
    m_keys.push_back(key);
    switch (m_part) {
    case Part::Board:
        return TakeBoardKey(key, value);
    case Part::Numbering:
        return TakeNumberingKey(key, value);
    case Part::Port:
        return TakePortKey(key, value);
    case Part::None:
        break;
    }
    return false;
}

bool CSettingsReader::TakeBoardKey(const std::string& key, const std::string& value)
{
    const bool memory = SameName(key, kMemoryKey);
    if (memory || SameName(key, kPortKey)) {
        const auto address = Hexadecimal(value);
        if (!address)
            return RefuseValue(key, value, "not a hexadecimal number of up to 8 digits");
        const BoardCheck check = memory ? CheckMemoryAddress(*address) : CheckPortAddress(*address);
        if (check != BoardCheck::Ok)
            return RefuseValue(key, value, BoardCheckMessage(check));
        (memory ? m_settings.memory : m_settings.port) = *address;
        return true;
    }
    if (SameName(key, kIrqKey)) {
        const auto irq = Decimal(value);
        if (!irq)
            return RefuseValue(key, value, fw::kPositiveIntegerMessage);
        if (const BoardCheck check = CheckIrq(*irq); check != BoardCheck::Ok)
            return RefuseValue(key, value, BoardCheckMessage(check));
        m_settings.irq = *irq;
        return true;
    }
    return Refuse("unknown key " + Shown(key) + " in [" + kBoardSection + "]; its keys are " + kMemoryKey + ", " +
                  kPortKey + " and " + kIrqKey);
}

bool CSettingsReader::TakeNumberingKey(const std::string& key, const std::string& value)
{
    if (SameName(key, kPrefixKey)) {
        if (value.size() > kMaxPrefixLength)
            return Refuse(key + ": too long to name the ports (at most " +
                          fw::DecimalText(static_cast<std::uint32_t>(kMaxPrefixLength)) + " characters)");
        m_settings.prefix = value;
        return true;
    }
    if (SameName(key, kFirstPortKey)) {
        m_settings.numberingGiven = true;
        if (SameName(value, kNone))
            return true;
        const auto first = Decimal(value);
        if (!first)
            return RefuseValue(key, value, std::string(fw::kPositiveIntegerMessage) + " (or " + kNone + ")");
        if (!IsValidFirstPort(*first))
            return RefuseValue(key, value, kFirstPortZeroMessage);
        m_settings.firstPort = *first;
        return true;
    }
    return Refuse("unknown key " + Shown(key) + " in [" + kNumberingSection + "]; its keys are " + kPrefixKey +
                  " and " + kFirstPortKey);
}

bool CSettingsReader::TakePortKey(const std::string& key, const std::string& value)
{
    PortModesSetting& modes = m_ports.back().modes;
    if (SameName(key, kRxTimeoutKey))
        return TakeByte(key, value, kRxTimeoutRange, modes.rxTimeout);
    if (SameName(key, kRxThresholdKey))
        return TakeByte(key, value, kRxThresholdRange, modes.rxThreshold);
    if (SameName(key, kTxLoadKey))
        return TakeByte(key, value, kTxLoadRange, modes.txLoad);
    if (SameName(key, kMultidropKey))
        return TakeYesNo(key, value, modes.multidrop);
    if (SameName(key, kHalfDuplexKey))
        return TakeYesNo(key, value, modes.halfDuplex);
    return Refuse("unknown key " + Shown(key) + " in a port's section; its keys are " + kRxTimeoutKey + ", " +
                  kRxThresholdKey + ", " + kTxLoadKey + ", " + kMultidropKey + " and " + kHalfDuplexKey);
}

// The advanced options' own checks: a byte first, then the field's range.
bool CSettingsReader::TakeByte(const std::string& key, const std::string& value, const FieldRange& range,
                               std::optional<std::uint8_t>& field)
{
    const auto number = Decimal(value);
    if (!number || *number > 255)
        return RefuseValue(key, value, fw::kByteMessage);
    if (*number < range.low || *number > range.high)
        return RefuseValue(key, value, fw::RangeMessage(range.low, range.high));
    field = static_cast<std::uint8_t>(*number);
    return true;
}

bool CSettingsReader::TakeYesNo(const std::string& key, const std::string& value, std::optional<bool>& field)
{
    field = YesNo(value);
    return field ? true : RefuseValue(key, value, std::string("must be ") + kYes + " or " + kNo);
}

std::string CSettingsReader::PortRangeText(const std::string& prefix) const
{
    if (m_count == 0)
        return "the board reports no ports";
    return "its ports are " + PortName(prefix, m_first) + " to " + PortName(prefix, m_first + (m_count - 1));
}

// A port's name is the prefix and its number in decimal, as the advanced
// options name it; only the board's own numbers are taken.
bool CSettingsReader::ResolvePort(PortSection& port, const std::string& prefix)
{
    m_line = port.line;
    const bool prefixed = port.name.size() > prefix.size() && SameName(port.name.substr(0, prefix.size()), prefix);
    const std::string digits = prefixed ? port.name.substr(prefix.size()) : std::string();
    const auto number = digits.size() > 1 && digits[0] == '0' ? std::nullopt : Decimal(digits);
    if (!number || *number < m_first || *number - m_first >= m_count)
        return Refuse("the board has no port " + Shown(port.name) + ": " + PortRangeText(prefix));
    port.modes.number = *number;
    for (const PortModesSetting& earlier : m_settings.ports)
        if (earlier.number == *number)
            return Refuse("[" + std::string(kPortSection) + " " + Shown(port.name) + "] is given twice");
    m_settings.ports.push_back(port.modes);
    return true;
}

bool CSettingsReader::ResolvePorts()
{
    const std::string prefix = m_settings.prefix.value_or(m_storedPrefix);
    for (PortSection& port : m_ports)
        if (!ResolvePort(port, prefix))
            return false;
    return true;
}

SettingsOutcome CSettingsReader::Outcome() const
{
    SettingsOutcome outcome;
    if (m_refusal)
        outcome.refusal = *m_refusal;
    else
        outcome.settings = m_settings;
    return outcome;
}

struct CloseFile {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

SettingsOutcome ReadSettings(const std::string& input, const BoardPorts& board)
{
    CSettingsReader reader(board);
    std::string text = input;
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
        text.erase(0, 3);  // the mark Notepad puts before UTF-8
    if (text.compare(0, 2, "\xFF\xFE") == 0 || text.compare(0, 2, "\xFE\xFF") == 0) {
        SettingsOutcome outcome;
        outcome.refusal = {1, "the file is UTF-16 (\"Unicode\") text: save it as ANSI or UTF-8", {}, {}};
        return outcome;
    }
    unsigned long number = 0;
    bool read = true;
    for (std::size_t start = 0; read && start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        read = reader.ReadLine(text.substr(start, end - start), ++number);
        start = end + 1;
    }
    if (read)
        reader.ResolvePorts();
    return reader.Outcome();
}

SettingsOutcome ReadSettingsFile(const char* path, const BoardPorts& board)
{
    SettingsOutcome outcome;
    const std::unique_ptr<std::FILE, CloseFile> file(std::fopen(path, "rb"));
    if (!file) {
        outcome.refusal.reason = std::string("cannot be opened: ") + std::strerror(errno);
        return outcome;
    }
    std::string text;
    char buffer[4096];
    std::size_t count;
    while ((count = std::fread(buffer, 1, sizeof buffer, file.get())) > 0 && text.size() <= kMaxSettingsFileSize)
        text.append(buffer, count);
    if (std::ferror(file.get())) {
        outcome.refusal.reason = std::string("cannot be read: ") + std::strerror(errno);
        return outcome;
    }
    if (text.size() > kMaxSettingsFileSize) {
        outcome.refusal.reason = "larger than " + fw::DecimalText(static_cast<std::uint32_t>(kMaxSettingsFileSize)) +
                                 " bytes: this is not a settings file";
        return outcome;
    }
    SettingsOutcome read = ReadSettings(text, board);
    CSha256 digest;
    digest.Add(text.data(), text.size());
    read.sha256 = digest.HexDigest();
    return read;
}

}  // namespace qb480
