#pragma once
// The board's settings as a text file that a person can read and edit, so
// that one board's configuration can be carried to other machines:
//
//   ; qb480cfg 1.0.0 settings, machine NAME, 2024-05-01 12:34:56
//
//   [Board Settings]
//   Memory Address = D0000
//   Port Address = 300
//   IRQ = 5
//
//   [Port Numbering]
//   Port Name Prefix = COM
//   Start from this index = none
//
//   [Port COM3]
//   Rx Timeout = 1
//   Rx Threshold = 0
//   Tx Load = 12
//   RS-485 Multidrop Mode Enabled = no
//   RS-485 Half Duplex Mode Enabled = no
//
// Keys and values are the dialogs' own fields, judged by their rules.
// Section and key names ignore letter case; blanks around them and around
// values do not count; lines starting with ';' or '#' are comments. Every
// key may be left out: a value not given is not changed.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qb480 {

// One port's special modes; a field not given keeps what is stored.
struct PortModesSetting {
    std::uint32_t number = 0;  // the port's number: its name is the prefix and this number
    std::optional<std::uint8_t> rxTimeout;
    std::optional<std::uint8_t> rxThreshold;
    std::optional<std::uint8_t> txLoad;
    std::optional<bool> multidrop;
    std::optional<bool> halfDuplex;

    // An empty section gives none, and changes nothing.
    bool AnyGiven() const { return rxTimeout || rxThreshold || txLoad || multidrop || halfDuplex; }
};

struct Settings {
    std::optional<std::uint32_t> memory;
    std::optional<std::uint32_t> port;
    std::optional<std::uint32_t> irq;
    std::optional<std::string> prefix;       // as written, without the blanks at its ends
    bool numberingGiven = false;             // "Start from this index" is given
    std::optional<std::uint32_t> firstPort;  // with numberingGiven: absent for "none"
    std::vector<PortModesSetting> ports;     // in the order of the file
};

// The ports the board has, against which a file's port sections are judged:
// numbers first to first + count - 1 (as many as the advanced options list),
// named by the file's prefix or, when it gives none, by the stored one.
struct BoardPorts {
    std::uint32_t first = 0;
    std::uint32_t count = 0;
    std::string storedPrefix;
};

// Why a file was refused: its line (0 for the file as a whole) and reason.
struct SettingsRefusal {
    unsigned long line = 0;
    std::string reason;
    std::string key, value;  // of a value refused; empty for any other fault
};

// Either all the file's values, or the refusal of the first fault found
// (the lines in order, then the ports' names) and none.
struct SettingsOutcome {
    std::optional<Settings> settings;
    SettingsRefusal refusal;
    std::string sha256;  // of the file's bytes as read; empty when it could not be read whole
};

// Judges the whole text before anything is returned.
SettingsOutcome ReadSettings(const std::string& text, const BoardPorts& board);

// The same for a file; a file that cannot be opened or read, or is too
// large to be a settings file, is refused as a whole. The digest names the
// very bytes judged, for the audit trail.
SettingsOutcome ReadSettingsFile(const char* path, const BoardPorts& board);
inline constexpr std::size_t kMaxSettingsFileSize = 1024 * 1024;

// A port's stored word with the fields the file gives put over it.
std::uint32_t ApplyPortModes(std::uint32_t stored, const PortModesSetting& setting);
// All five fields of a word, as the advanced options show them.
PortModesSetting PortModesOf(std::uint32_t number, std::uint32_t word);

// The first line: the program, its version, the machine and the time.
struct SettingsHeader {
    std::string program;
    std::string version;
    std::string machine;
    std::string time;
};

// The file's text, lines ended by CR LF; only the values given are written.
// The port sections are named as the reader names them: by the settings'
// prefix, or by the stored one when the settings give none.
std::string WriteSettings(const SettingsHeader& header, const Settings& settings, const std::string& storedPrefix);

}  // namespace qb480
