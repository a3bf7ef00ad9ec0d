#pragma once
// The COM numbers of the board's ports in Windows' COM port database: which
// the set-up claims, which it gives back, which another device holds, and
// how it keeps its record of them. Portable, for native unit tests.
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace qb480 {

using ComNumbers = std::set<std::uint32_t>;

// The database arbitrates COM1 up to this (COMDB_MAX_PORTS_ARBITRATED).
inline constexpr std::uint32_t kComDbMaxPorts = 4096;

// Only a prefix "COM", in any letter case, names the ports with COM numbers.
bool IsComPrefix(const std::string& prefix);

// The numbers of count ports from first that the database can arbitrate,
// for no more ports than a board has.
ComNumbers RangeNumbers(std::uint32_t first, std::uint32_t count);

struct ClaimFacts {
    std::string prefix;
    std::optional<std::uint32_t> reportedFirst;  // PortsStartingAt
    std::optional<std::uint32_t> portCount;      // TotalNumberOfPorts
    std::optional<std::uint32_t> firstPort;      // FirstPort, taken at the driver's next start
    ComNumbers record;                           // claimed for the board earlier
    ComNumbers inUse;                            // in use in the database
    ComNumbers serialComm;                       // the COM numbers SERIALCOMM names a device for now
    bool driverRuns = false;
};

struct ClaimPlan {
    ComNumbers claim;         // needed and free, recorded or not
    ComNumbers release;       // recorded and needed no more
    ComNumbers handOver;      // recorded, needed no more, and another device uses it now: never released
    ComNumbers heldByOthers;  // needed, in use and not recorded: never claimed nor released
};

// With the prefix COM, the board needs the numbers the driver reports and,
// while FirstPort is set, those from FirstPort for as many ports: the
// driver takes them at its next start. With another prefix it needs none,
// so every recorded number is given back.
ComNumbers NeededNumbers(const ClaimFacts& facts);
ClaimPlan PlanClaims(const ClaimFacts& facts);

// The numbers SERIALCOMM shows in use by a device other than the board:
// while the driver runs, its own entries are those of the ports it reports;
// while it does not, every entry is another device's. The database does not
// know who claimed a number, so this and the record are all there is.
ComNumbers OtherDevicesNumbers(const ClaimFacts& facts);

// The record as the registry keeps it: "3,4,5". Reading takes the numbers
// the database can arbitrate and passes over anything else.
std::string RecordText(const ComNumbers& numbers);
ComNumbers ParseRecord(const std::string& text);

// "COM5" in any letter case gives 5; any other name gives nothing.
std::optional<std::uint32_t> ComNumberOfName(const std::string& name);

// A number another device holds, with the device that uses it now when
// Windows names one (empty otherwise).
struct HeldNumber {
    std::uint32_t number = 0;
    std::string device;
};
// The Port Numbering dialog's warning when numbers from first are held.
std::string CollisionMessage(const std::vector<HeldNumber>& held, std::uint32_t first);

}  // namespace qb480
