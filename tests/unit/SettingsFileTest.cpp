#include "settingsfile/SettingsFile.h"

#include <gtest/gtest.h>

#include "board/PortModes.h"
#include "TempFolder.h"

using namespace std::string_literals;
using qb480::ReadSettings;
using qb480::Settings;

namespace {

// PortsStartingAt 3, TotalNumberOfPorts 8, stored prefix COM: COM3 to COM10.
const qb480::BoardPorts kBoard{3, 8, "COM"};
const qb480::SettingsHeader kHeader{"qb480cfg", "1.0.0", "PC7", "2024-05-01 12:34:56"};

Settings FullSettings()
{
    Settings settings;
    settings.memory = 0xD0000;
    settings.port = 0x2A0;
    settings.irq = 5;
    settings.prefix = "COM";
    settings.numberingGiven = true;
    settings.firstPort = 7;
    settings.ports = {qb480::PortModesOf(3, 0x0A080403), qb480::PortModesOf(10, qb480::kDefaultSpecialModes)};
    return settings;
}

}  // namespace

TEST(SettingsFile, RoundTripGivesTheSameValues)
{
    const std::string text = qb480::WriteSettings(kHeader, FullSettings(), kBoard.storedPrefix);
    EXPECT_EQ(text.substr(0, text.find("\r\n")), "; qb480cfg 1.0.0 settings, machine PC7, 2024-05-01 12:34:56");
    EXPECT_NE(text.find("[Port COM3]\r\nRx Timeout = 10\r\nRx Threshold = 8\r\nTx Load = 4\r\n"
                        "RS-485 Multidrop Mode Enabled = yes\r\nRS-485 Half Duplex Mode Enabled = yes\r\n"),
              std::string::npos)
        << text;

    const auto read = ReadSettings(text, kBoard);
    ASSERT_TRUE(read.settings) << read.refusal.line << ": " << read.refusal.reason;
    EXPECT_EQ(read.settings->memory, 0xD0000u);
    EXPECT_EQ(read.settings->port, 0x2A0u);
    EXPECT_EQ(read.settings->firstPort, 7u);
    ASSERT_EQ(read.settings->ports.size(), 2u);
    EXPECT_EQ(qb480::ApplyPortModes(0, read.settings->ports[0]), 0x0A080403u);
    EXPECT_EQ(read.settings->ports[1].number, 10u);
    EXPECT_EQ(qb480::WriteSettings(kHeader, *read.settings, kBoard.storedPrefix), text);

    // "none" is written for no chosen index and read back as such.
    Settings none = FullSettings();
    none.firstPort.reset();
    const auto noneRead = ReadSettings(qb480::WriteSettings(kHeader, none, kBoard.storedPrefix), kBoard);
    ASSERT_TRUE(noneRead.settings);
    EXPECT_TRUE(noneRead.settings->numberingGiven);
    EXPECT_FALSE(noneRead.settings->firstPort);
}

TEST(SettingsFile, TakesWhatAPersonMightWrite)
{
    const std::string text =
        "\xEF\xBB\xBF# notes\r\n"
        "  [ board settings ]  \r\n"
        "memory address=d0000\r\n"
        "\r\n"
        "[PORT NUMBERING]\n"
        "Port Name Prefix =  tty \n"
        "[port TTY4]\n"
        "tx load = 2\n"
        "rs-485 multidrop mode enabled = 1\n";
    const auto read = ReadSettings(text, kBoard);
    ASSERT_TRUE(read.settings) << read.refusal.line << ": " << read.refusal.reason;
    EXPECT_EQ(read.settings->memory, 0xD0000u);
    EXPECT_FALSE(read.settings->port);
    EXPECT_FALSE(read.settings->numberingGiven);
    EXPECT_EQ(read.settings->prefix, "tty");  // the file's prefix names the ports
    ASSERT_EQ(read.settings->ports.size(), 1u);
    EXPECT_EQ(read.settings->ports[0].number, 4u);
    // Fields not given keep the stored ones.
    EXPECT_EQ(qb480::ApplyPortModes(0x0A080002, read.settings->ports[0]), 0x0A080203u);
}

TEST(SettingsFile, RefusesTheFirstFaultWithItsLine)
{
    struct Case {
        std::string text;
        unsigned long line;
        std::string reason;
    };
    const Case cases[] = {
        {"[Boards]", 1, "unknown section [Boards]"},
        {"[" + std::string(100, 'x') + "]", 1, "unknown section [" + std::string(40, 'x') + "...];"},
        {"[Board Settings]\nMemory = D0000", 2, "unknown key Memory in [Board Settings]"},
        {"IRQ = 5", 1, "the key IRQ stands before any [section]"},
        {"[Board Settings]\nMemory Address = B0000", 2, "Memory Address = B0000: Memory segment outside allowed range"},
        {"[Board Settings]\nMemory Address = 0x300", 2, "not a hexadecimal number"},
        // Nine digits would wrap to another segment.
        {"[Board Settings]\nMemory Address = 1000D0000", 2, "not a hexadecimal number of up to 8 digits"},
        {"[Board Settings]\nPort Address = 3FE", 2, "The port address must be evenly divisible by 4"},
        {"[Board Settings]\nPort Address = 0", 2, "Zero is not allowed"},
        {"[Board Settings]\nIRQ = 16", 2, "IRQ = 16: IRQ not in acceptable range"},
        {"[Board Settings]\nIRQ = five", 2, "IRQ = five: Please enter a positive integer."},
        {"[Board Settings]\nIRQ = 5\nirq = 6", 3, "irq is given twice in this section"},
        {"[Port Numbering]\nStart index = 3", 2, "unknown key Start index in [Port Numbering]"},
        {"[Port Numbering]\nPort Name Prefix = " + std::string(qb480::kMaxPrefixLength + 1, 'C'), 2,
         "Port Name Prefix: too long to name the ports"},
        {"[Port Numbering]\nStart from this index = 0", 2, "Please enter a valid number"},
        {"[Port Numbering]\nStart from this index = 4294967296", 2, "Please enter a positive integer."},
        {"[Port COM3]\nRx Timeout = 1\nMultidrop = yes", 3, "unknown key Multidrop in a port's section"},
        {"[Port COM3]\nRx Timeout = 0", 2, "Rx Timeout = 0: Please enter an integer between 1 and 255."},
        {"[Port COM3]\nRx Threshold = 13", 2, "Please enter an integer between 0 and 12."},
        {"[Port COM3]\nTx Load = 300", 2, "Tx Load = 300: Please enter an integer between 0 and 255."},
        {"[Port COM3]\nRS-485 Half Duplex Mode Enabled = maybe", 2, "must be yes or no"},
        {"[Port COM3]\nRx Timeout = 5\n[Port COM11]", 3, "the board has no port COM11: its ports are COM3 to COM10"},
        {"[Port COM03]", 1, "the board has no port COM03"},
        {"[Port COM3]\n[Port Numbering]\nPort Name Prefix = TTY", 1,
         "the board has no port COM3: its ports are TTY3 to TTY10"},
        {"[Port COM3]\n[port com3]", 2, "[Port com3] is given twice"},
        {"[Port Numbering]\n[Port Numbering]", 2, "[Port Numbering] is given twice (first on line 1)"},
        {"[Board Settings\n", 1, "a section name must end with ]"},
        {"[Board Settings]\nIRQ 5", 2, "not a [section], a key = value or a comment"},
        {"[Board Settings]\n = 5", 2, "a key name is missing before ="},
        {"; fine\n[Board Settings]\nIRQ = 5\0\n"s, 3, "zero byte"},
        {"\xFF\xFE[\0B\0"s, 1, "UTF-16"},
        // A bad value before a bad port name: the lines are judged first.
        {"[Port COM99]\n[Board Settings]\nIRQ = 1", 3, "IRQ not in acceptable range"},
    };
    for (const Case& c : cases) {
        const auto read = ReadSettings(c.text, kBoard);
        EXPECT_FALSE(read.settings) << c.text;
        EXPECT_EQ(read.refusal.line, c.line) << c.text;
        EXPECT_NE(read.refusal.reason.find(c.reason), std::string::npos) << c.text << "\n -> " << read.refusal.reason;
    }
    // A board that reports no ports has none to configure.
    const auto none = ReadSettings("[Port COM3]", qb480::BoardPorts{0, 0, "COM"});
    EXPECT_EQ(none.refusal.reason, "the board has no port COM3: the board reports no ports");
}

TEST(SettingsFile, ReadsFilesAndRefusesThoseItCannotRead)
{
    CTempFolder folder;
    folder.Write("good.ini", "[Board Settings]\r\nIRQ = 9\r\n");
    const auto good = qb480::ReadSettingsFile(folder.Path("good.ini").c_str(), kBoard);
    ASSERT_TRUE(good.settings);
    EXPECT_EQ(good.settings->irq, 9u);

    const auto missing = qb480::ReadSettingsFile(folder.Path("missing.ini").c_str(), kBoard);
    EXPECT_FALSE(missing.settings);
    EXPECT_EQ(missing.refusal.line, 0u);
    EXPECT_NE(missing.refusal.reason.find("cannot be opened"), std::string::npos) << missing.refusal.reason;

    const auto folderItself = qb480::ReadSettingsFile(folder.Path("").c_str(), kBoard);
    EXPECT_FALSE(folderItself.settings);
    EXPECT_EQ(folderItself.refusal.line, 0u);

    folder.Write("large.ini", std::string(qb480::kMaxSettingsFileSize + 1, ';'));
    const auto large = qb480::ReadSettingsFile(folder.Path("large.ini").c_str(), kBoard);
    EXPECT_FALSE(large.settings);
    EXPECT_NE(large.refusal.reason.find("not a settings file"), std::string::npos) << large.refusal.reason;
}
