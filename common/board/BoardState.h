#pragma once
// The board's state as the registry and the Service Control Manager hold
// it, read without changing anything: unlike the dialogs, which create the
// parameter key when they open, no key is ever created here.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>


namespace qb480 {

inline constexpr std::size_t kVersionBuffer = 100;  // each version text, its zero byte included
inline constexpr char kDriverNotActive[] = "Driver not active";

// The driver's two version texts from a key the caller opened, each read
// into kVersionBuffer bytes; a text that cannot be read keeps what it held.
void ReadVersionTexts(HKEY key, std::string& driverText, std::string& firmwareText);

enum class DriverServiceState { Absent, Stopped, Running };

struct PortView {
    std::uint32_t number = 0;
    std::string name;                     // prefix and number, as the advanced options list it
    std::optional<std::uint32_t> stored;  // the special-modes word, absent when none is stored
};

struct BoardState {
    DriverServiceState service = DriverServiceState::Absent;
    // As the main dialog shows them: "Driver not active" unless the driver
    // runs; then the texts it reports, or 100 '0' characters for one that
    // cannot be read.
    std::string driverVersion;
    std::string firmwareVersion;
    // Absent when not stored (the board-settings dialog shows 0).
    std::optional<std::uint32_t> memory, port, irq;
    std::optional<std::string> prefix;  // read whole; absent also when too long to name a port
    std::optional<std::uint32_t> firstPort;
    std::optional<std::uint32_t> totalPorts, portsStartingAt;
    bool prefixTooLong = false;
    std::vector<PortView> ports;  // the ports the advanced options would list
};

// Read with no more access than reading needs (KEY_QUERY_VALUE, and the
// service list with kReadOnlyManagerAccess), so that it works without the
// rights. The service queries report their failures as the dialogs'
// queries do; nothing else is reported.
BoardState ReadBoardState();

}  // namespace qb480
