#include "EntryText.h"
#include "board/PortModes.h"
#include "settingsfile/SettingsFile.h"
#include "SettingsNames.h"

namespace qb480 {

namespace {

using namespace settings;

constexpr char kLineEnd[] = "\r\n";  // as Notepad on every Windows reads it

void Section(std::string& text, const std::string& name)
{
    if (!text.empty())
        text += kLineEnd;
    text += "[" + name + "]" + kLineEnd;
}

void Key(std::string& text, const char* key, const std::string& value)
{
    text += std::string(key) + " = " + value + kLineEnd;
}

template <typename T, typename Format>
void KeyIfGiven(std::string& text, const char* key, const std::optional<T>& value, Format format)
{
    if (value)
        Key(text, key, format(*value));
}

std::string YesNo(bool value) { return value ? kYes : kNo; }
std::string Decimal(std::uint32_t value) { return fw::DecimalText(value); }

void WriteBoard(std::string& text, const Settings& s)
{
    if (!s.memory && !s.port && !s.irq)
        return;
    Section(text, kBoardSection);
    KeyIfGiven(text, kMemoryKey, s.memory, fw::HexText);
    KeyIfGiven(text, kPortKey, s.port, fw::HexText);
    KeyIfGiven(text, kIrqKey, s.irq, Decimal);
}

void WriteNumbering(std::string& text, const Settings& s)
{
    if (!s.prefix && !s.numberingGiven)
        return;
    Section(text, kNumberingSection);
    if (s.prefix)
        Key(text, kPrefixKey, *s.prefix);
    if (s.numberingGiven)
        Key(text, kFirstPortKey, s.firstPort ? Decimal(*s.firstPort) : kNone);
}

void WritePort(std::string& text, const std::string& prefix, const PortModesSetting& port)
{
    Section(text, std::string(kPortSection) + " " + PortName(prefix, port.number));
    KeyIfGiven(text, kRxTimeoutKey, port.rxTimeout, Decimal);
    KeyIfGiven(text, kRxThresholdKey, port.rxThreshold, Decimal);
    KeyIfGiven(text, kTxLoadKey, port.txLoad, Decimal);
    KeyIfGiven(text, kMultidropKey, port.multidrop, YesNo);
    KeyIfGiven(text, kHalfDuplexKey, port.halfDuplex, YesNo);
}

}  // namespace

std::uint32_t ApplyPortModes(std::uint32_t stored, const PortModesSetting& setting)
{
    SpecialModes modes = UnpackSpecialModes(stored);
    modes.rxTimeout = setting.rxTimeout.value_or(modes.rxTimeout);
    modes.rxThreshold = setting.rxThreshold.value_or(modes.rxThreshold);
    modes.txLoad = setting.txLoad.value_or(modes.txLoad);
    modes.multidrop = setting.multidrop.value_or(modes.multidrop);
    modes.halfDuplex = setting.halfDuplex.value_or(modes.halfDuplex);
    return PackSpecialModes(modes);
}

PortModesSetting PortModesOf(std::uint32_t number, std::uint32_t word)
{
    const SpecialModes modes = UnpackSpecialModes(word);
    PortModesSetting setting;
    setting.number = number;
    setting.rxTimeout = modes.rxTimeout;
    setting.rxThreshold = modes.rxThreshold;
    setting.txLoad = modes.txLoad;
    setting.multidrop = modes.multidrop;
    setting.halfDuplex = modes.halfDuplex;
    return setting;
}

std::string WriteSettings(const SettingsHeader& header, const Settings& settings, const std::string& storedPrefix)
{
    std::string text = "; " + header.program + " " + header.version + " settings, machine " + header.machine +
                       ", " + header.time + kLineEnd;
    WriteBoard(text, settings);
    WriteNumbering(text, settings);
    for (const PortModesSetting& port : settings.ports)
        WritePort(text, settings.prefix.value_or(storedPrefix), port);
    return text;
}

}  // namespace qb480
