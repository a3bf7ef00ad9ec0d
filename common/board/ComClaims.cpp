#include "board/ComClaims.h"

#include <map>
#include <optional>

#include "board/PortModeWords.h"
#include "board/PortNamePrefix.h"
#include "windows/ComDatabase.h"
#include "windows/ParamNames.h"
#include "windows/Registry.h"
#include "windows/SerialComm.h"
#include "windows/ServiceState.h"

namespace qb480 {

namespace {

// Room for every number the database can arbitrate, four digits and a comma each.
constexpr std::size_t kRecordLimit = 5 * kComDbMaxPorts;

ComNumbers InUse(const std::vector<bool>& usage)
{
    ComNumbers numbers;
    for (std::size_t i = 0; i < usage.size(); ++i)
        if (usage[i])
            numbers.insert(static_cast<std::uint32_t>(i + 1));
    return numbers;
}

// The database opened and closed again; absent where there is none.
std::optional<ComNumbers> NumbersInUse()
{
    const CComDatabase database;
    const auto usage = database.Usage();
    return usage ? std::optional<ComNumbers>(InUse(*usage)) : std::nullopt;
}

// A missing prefix is "COM", as the main dialog stores it; one too long names no port.
std::string StoredPrefix(const std::optional<std::string>& prefix, bool tooLong)
{
    return tooLong ? std::string() : prefix.value_or(kDefaultPrefix);
}

// The devices SERIALCOMM names by the number they use now.
std::map<std::uint32_t, std::string> DevicesByNumber()
{
    std::map<std::uint32_t, std::string> devices;
    for (const SerialCommEntry& entry : ReadSerialComm())
        if (const auto number = ComNumberOfName(entry.portName))
            devices.emplace(*number, entry.device);
    return devices;
}

ComNumbers SerialCommNumbers()
{
    ComNumbers numbers;
    for (const auto& [number, device] : DevicesByNumber())
        numbers.insert(number);
    return numbers;
}

ClaimFacts ReadClaimFacts(const std::vector<bool>& usage)
{
    const PortFacts ports = ReadPortFacts();
    const fw::UniqueHkey key = OpenKeyForQuery(kDriverParamKey);
    ClaimFacts facts;
    facts.prefix = StoredPrefix(ports.prefix, ports.prefixTooLong);
    facts.reportedFirst = ports.first;
    facts.portCount = ports.count;
    facts.firstPort = ReadDword(key.get(), kValueFirstPort);
    facts.record = ReadComRecord();
    facts.inUse = InUse(usage);
    facts.serialComm = SerialCommNumbers();
    facts.driverRuns = DriverServiceRuns();
    return facts;
}

// The record written, or deleted when empty. The key is never created:
// after a removal it has gone with the service. False when the record
// could not be kept.
bool WriteRecord(const ComNumbers& record)
{
    const fw::UniqueHkey key = OpenKeyFullAccess(kDriverParamKey);
    if (!key)
        return record.empty() && !OpenKeyForQuery(kDriverParamKey);
    if (!record.empty())
        return WriteText(key.get(), kValueClaimedComNumbers, RecordText(record));
    const LONG result = RegDeleteValueA(key.get(), kValueClaimedComNumbers);
    return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
}

ComAnswer AnswerOf(LONG result)
{
    switch (result) {
    case ERROR_SUCCESS:
        return ComAnswer::Done;
    case ERROR_SHARING_VIOLATION:
        return ComAnswer::InUse;
    case ERROR_INVALID_PARAMETER:  // for a release: a number beyond the database's size
        return ComAnswer::NotInDatabase;
    default:
        return ComAnswer::Failed;
    }
}

class CMachineLedger : public CComLedger {
public:
    explicit CMachineLedger(const CComDatabase& database) : m_database(database) {}
    ComAnswer Claim(std::uint32_t number) override
    {
        const ComAnswer answer = AnswerOf(m_database.Claim(number));
        return answer == ComAnswer::NotInDatabase ? ComAnswer::Failed : answer;
    }
    ComAnswer Release(std::uint32_t number) override
    {
        const ComAnswer answer = AnswerOf(m_database.Release(number));
        return answer == ComAnswer::InUse ? ComAnswer::Failed : answer;
    }
    bool WriteRecord(const ComNumbers& record) override { return qb480::WriteRecord(record); }

private:
    const CComDatabase& m_database;
};

}  // namespace

ComNumbers ReadComRecord()
{
    const fw::UniqueHkey key = OpenKeyForQuery(kDriverParamKey);
    const WholeText read = ReadWholeText(key.get(), kValueClaimedComNumbers, kRecordLimit);
    return read.text ? ParseRecord(*read.text) : ComNumbers{};
}

ClaimOutcome UpdateComClaims()
{
    const CComDatabase database;
    const auto usage = database.Usage();
    if (!usage)
        return {};
    const ClaimFacts facts = ReadClaimFacts(*usage);
    CMachineLedger ledger(database);
    return ApplyClaimPlan(PlanClaims(facts), facts.record, ledger);
}

ClaimOutcome ReleaseComClaims(const ComNumbers& record)
{
    const CComDatabase database;
    if (!database.IsOpen())
        return {};
    // The driver no longer runs: every device SERIALCOMM names is another.
    ClaimFacts facts;
    facts.serialComm = SerialCommNumbers();
    ClaimPlan plan;
    for (std::uint32_t number : record)
        (OtherDevicesNumbers(facts).count(number) ? plan.handOver : plan.release).insert(number);
    CMachineLedger ledger(database);
    return ApplyClaimPlan(plan, record, ledger);
}

std::vector<HeldNumber> NumbersHeldByOthers(std::uint32_t first)
{
    std::vector<HeldNumber> held;
    const PortFacts ports = ReadPortFacts();
    if (!ports.count || !IsComPrefix(StoredPrefix(ports.prefix, ports.prefixTooLong)))
        return held;
    const auto inUse = NumbersInUse();
    if (!inUse)
        return held;
    const ComNumbers record = ReadComRecord();
    auto devices = DevicesByNumber();
    for (std::uint32_t number : RangeNumbers(first, *ports.count))
        if (inUse->count(number) && !record.count(number))
            held.push_back({number, devices[number]});
    return held;
}

std::vector<ComNumberView> ReadComNumberStates(const BoardState& state)
{
    std::vector<ComNumberView> views;
    const bool com = IsComPrefix(StoredPrefix(state.prefix, state.prefixTooLong));
    const auto inUse = com ? NumbersInUse() : std::nullopt;
    const ComNumbers record = inUse ? ReadComRecord() : ComNumbers{};
    auto devices = inUse ? DevicesByNumber() : std::map<std::uint32_t, std::string>{};
    for (const PortView& port : state.ports) {
        ComNumberView view;
        view.number = port.number;
        if (!inUse || port.number < 1 || port.number > kComDbMaxPorts)
            view.state = ComNumberState::Unchecked;
        else if (!inUse->count(port.number))
            view.state = ComNumberState::Free;
        else if (record.count(port.number))
            view.state = ComNumberState::Claimed;
        else
            view = {port.number, ComNumberState::Other, devices[port.number]};
        views.push_back(view);
    }
    return views;
}

}  // namespace qb480
