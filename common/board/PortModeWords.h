#pragma once
// The board's ports and their special-modes words in the registry, read and
// stored as the advanced options do.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "board/PortModes.h"

namespace qb480 {

// What the driver's parameter key says of the ports, read with query
// access: the key is never created. Each value is absent when it cannot be
// read; prefixTooLong tells a prefix too long to name any port.
struct PortFacts {
    bool keyOpened = false;
    std::optional<std::uint32_t> count;  // TotalNumberOfPorts
    std::optional<std::uint32_t> first;  // PortsStartingAt
    std::optional<std::string> prefix;   // PortNamePrefix, read whole
    bool prefixTooLong = false;
};
PortFacts ReadPortFacts();

// The facts taken into state as the advanced options open: a key that
// cannot be opened changes nothing and says nothing; a missing count or
// first number is reported and keeps the one held; a prefix too long is
// reported and names no port; a missing prefix keeps the one held.
void ReadPortData(PortState& state);

// How many ports can be named and configured: none while the prefix names
// no port, and no more than ListablePorts allows.
std::uint32_t ConfigurablePorts(const PortState& state);
// The same, and says so when that is fewer than the driver reports.
std::uint32_t PortsToList(const PortState& state);

// The first count ports' words as stored, in port order, with query access
// (the subkey is never created); absent for a port without a word.
std::vector<std::optional<std::uint32_t>> ReadStoredSpecialModes(const PortState& state, std::uint32_t count);
// The same with the default word for a port without one.
std::vector<std::uint32_t> ReadSpecialModes(const PortState& state, std::uint32_t count);
// One port's word as stored under its name; absent when it has none.
std::optional<std::uint32_t> ReadStoredWord(const std::string& portName);

// A port's word stored under its name, as Apply does. "Could not open
// registry key" or "Could not write the magic data" on failure, which
// returns false.
bool StoreSpecialModes(const std::string& portName, std::uint32_t word);

}  // namespace qb480
