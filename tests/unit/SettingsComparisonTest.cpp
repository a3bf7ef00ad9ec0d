#include "settingsfile/SettingsComparison.h"

#include <gtest/gtest.h>

#include "JsonText.h"
#include "board/PortModes.h"

using qb480::CompareSettings;
using qb480::PortModesOf;
using qb480::Settings;

namespace {

// What a machine stores: resources, prefix COM, no index chosen, a word for
// COM4 only.
Settings Stored()
{
    Settings stored;
    stored.memory = 0xD0000;
    stored.port = 0x300;
    stored.irq = 7;
    stored.prefix = "COM";
    stored.numberingGiven = true;
    stored.ports = {PortModesOf(4, 0x05030A03)};
    return stored;
}

std::string Lines(const std::vector<qb480::SettingDifference>& differences)
{
    std::string lines;
    for (const auto& d : differences)
        lines += d.setting + ": " + d.machine.value_or("not stored") + " -> " + d.wanted + "\n";
    return lines;
}

}  // namespace

TEST(SettingsComparison, NamesWhatApplyingWouldChangeInTheFilesTerms)
{
    // The machine's own values, given back, change nothing.
    Settings same = Stored();
    EXPECT_EQ(Lines(CompareSettings(same, Stored()).differences), "");

    Settings wanted;
    wanted.irq = 5;
    wanted.memory = 0xD0000;  // as stored: no difference
    wanted.numberingGiven = true;
    wanted.firstPort = 20;
    qb480::PortModesSetting com4;  // one field differs, one does not
    com4.number = 4;
    com4.rxTimeout = 9;
    com4.txLoad = 10;
    qb480::PortModesSetting com5;  // no word stored: held against the default word
    com5.number = 5;
    com5.rxTimeout = 2;
    com5.halfDuplex = false;
    wanted.ports = {com4, com5};
    const auto comparison = CompareSettings(wanted, Stored());
    EXPECT_EQ(Lines(comparison.differences),
              "IRQ: 7 -> 5\n"
              "Start from this index: none -> 20\n"
              "Port COM4 Rx Timeout: 5 -> 9\n"
              "Port COM5 Rx Timeout: 1 -> 2\n");

    // The changes hold exactly those values; applied, nothing differs any more.
    const Settings& changes = comparison.changes;
    EXPECT_FALSE(changes.memory);
    EXPECT_EQ(changes.irq, 5u);
    EXPECT_TRUE(changes.numberingGiven);
    ASSERT_EQ(changes.ports.size(), 2u);
    EXPECT_FALSE(changes.ports[0].txLoad);
    Settings applied = Stored();
    applied.irq = changes.irq;
    applied.firstPort = changes.firstPort;
    applied.ports = {PortModesOf(4, qb480::ApplyPortModes(0x05030A03, changes.ports[0])),
                     PortModesOf(5, qb480::ApplyPortModes(qb480::kDefaultSpecialModes, changes.ports[1]))};
    EXPECT_EQ(Lines(CompareSettings(wanted, applied).differences), "");
}

TEST(SettingsComparison, NamesPortsByThePrefixApplyingLeavesAndTakesTheDefaultWordForOneNotStored)
{
    Settings stored;  // a fresh machine: nothing stored, no index chosen
    stored.numberingGiven = true;
    Settings wanted;
    wanted.port = 0x2A0;
    wanted.prefix = "TTY";
    wanted.numberingGiven = true;  // "none" on a machine without an index is no change
    qb480::PortModesSetting port;
    port.number = 3;
    port.multidrop = true;
    // A port without a word has the default one: asking for its values is no change.
    qb480::PortModesSetting asDefault = PortModesOf(4, qb480::kDefaultSpecialModes);
    wanted.ports = {port, asDefault};
    EXPECT_EQ(Lines(CompareSettings(wanted, stored).differences),
              "Port Address: not stored -> 2A0\n"
              "Port Name Prefix: not stored -> TTY\n"
              "Port TTY3 RS-485 Multidrop Mode Enabled: no -> yes\n");
    EXPECT_EQ(CompareSettings(wanted, stored).changes.ports.size(), 1u);
}

TEST(JsonText, EscapesWhatJsonMustAndKeepsItValidForAnyBytes)
{
    EXPECT_EQ(qb480::JsonString("a\"b\\c\x01\x1f\r\n\t"), R"("a\"b\\c\u0001\u001f\r\n\t")");
    // Valid UTF-8 is kept; a stray byte, an overlong form and a cut
    // sequence each become U+FFFD.
    EXPECT_EQ(qb480::JsonString("\xC3\xA9\xE2\x82\xAC"), "\"\xC3\xA9\xE2\x82\xAC\"");
    // Line and paragraph separators and NEL, which line readers split at.
    EXPECT_EQ(qb480::JsonString("a\xE2\x80\xA8" "b\xE2\x80\xA9" "c\xC2\x85" "d\xE2\x80\xAA"),
              "\"a\\u2028b\\u2029c\\u0085d\xE2\x80\xAA\"");
    EXPECT_EQ(qb480::JsonString("\xE9x\xC0\xAF\xE2\x82"),
              "\"\xEF\xBF\xBDx\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\"");
    // Four bytes up to U+10FFFF are kept; a surrogate, the overlong forms
    // of three and four bytes, a code point above U+10FFFF and a bad third
    // byte are not UTF-8, and a JSON reader would refuse the whole answer.
    const std::string bad = "\xEF\xBF\xBD";
    EXPECT_EQ(qb480::JsonString("\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF"), "\"\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF\"");
    for (const char* invalid : {"\xED\xA0\x80", "\xE0\x80\x80", "\xF4\x90\x80\x80", "\xF0\x8F\xBF\xBF", "\xE2\x82\x41"}) {
        const std::string text = invalid;
        std::string expected = "\"";
        for (char c : text)
            expected += c == 'A' ? std::string(1, c) : bad;
        EXPECT_EQ(qb480::JsonString(text), expected + "\"") << "bytes: " << text.size();
    }

    qb480::CJsonObject port;
    port.Text("name", std::string("COM3")).Bool("stored", false);
    qb480::CJsonObject object;
    object.Number("exitCode", 10u)
        .Number("irq", std::optional<std::uint32_t>())
        .Text("prefix", std::optional<std::string>())
        .Objects("ports", {port, port})
        .Objects("changes", {});
    EXPECT_EQ(object.Str(), R"({"exitCode":10,"irq":null,"prefix":null,)"
                            R"("ports":[{"name":"COM3","stored":false},{"name":"COM3","stored":false}],"changes":[]})");
}
