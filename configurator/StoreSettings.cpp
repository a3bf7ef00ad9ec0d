#include "StoreSettings.h"

#include "board/BoardSettings.h"
#include "ConsoleCancel.h"
#include "MessageBox.h"
#include "board/PortModeWords.h"
#include "board/PortNamePrefix.h"
#include "board/PortNumbering.h"
#include "Reporter.h"

namespace qb480 {

namespace {

bool BoardGiven(const Settings& settings) { return settings.memory || settings.port || settings.irq; }

BoardResources MergedResources(const Settings& settings, const BoardState& state)
{
    BoardResources resources;
    resources.memory = settings.memory.value_or(state.memory.value_or(0));
    resources.port = settings.port.value_or(state.port.value_or(0));
    resources.irq = settings.irq.value_or(state.irq.value_or(0));
    return resources;
}

// The dialogs' writes say nothing when the key cannot be opened: a dialog
// closes as if stored. A script must learn it.
template <typename Store>
void StoreAndTell(const CReporter& reporter, const char* what, Store store)
{
    const int before = reporter.FailuresReported();
    if (!store() && reporter.FailuresReported() == before)
        fw::AppMessageBox((std::string(what) + " not stored: the driver's parameter key cannot be opened.").c_str());
}

void StorePortModes(const Settings& changes)
{
    // The ports are named by the prefix just stored, as the advanced
    // options will look them up, and each word is changed in the fields
    // that differ only.
    std::string prefix = kDefaultPrefix;
    ReadPortNamePrefix(prefix);
    for (const PortModesSetting& port : changes.ports) {
        if (!port.AnyGiven() || fw::ConsoleCancelRequested())
            continue;
        const std::string name = PortName(prefix, port.number);
        StoreSpecialModes(name, ApplyPortModes(ReadStoredWord(name).value_or(kDefaultSpecialModes), port));
    }
}

}  // namespace

std::string JudgeBoardResources(const Settings& settings, const BoardState& state)
{
    if (!BoardGiven(settings))
        return std::string();
    // The values given first, so that a wrong one is named for itself, not
    // for a value the machine has not stored yet.
    const BoardCheck given[] = {settings.memory ? CheckMemoryAddress(*settings.memory) : BoardCheck::Ok,
                                settings.port ? CheckPortAddress(*settings.port) : BoardCheck::Ok,
                                settings.irq ? CheckIrq(*settings.irq) : BoardCheck::Ok};
    for (const BoardCheck check : given)
        if (check != BoardCheck::Ok)
            return BoardCheckMessage(check);
    const BoardResources merged = MergedResources(settings, state);
    return BoardCheckMessage(ValidateBoardResources(merged.memory, merged.port, merged.irq));
}

void StoreSettings(const Settings& changes, const CReporter& reporter)
{
    // Each step as one dialog's OK stores it; a console control event lets
    // the step in progress finish and stops before the next.
    if (BoardGiven(changes))
        StoreAndTell(reporter, "The board settings",
                     [&] { return StoreBoardValues({changes.memory, changes.port, changes.irq}); });
    if (changes.prefix && !fw::ConsoleCancelRequested())
        StoreAndTell(reporter, "The Port Name Prefix", [&] { return StoreEnteredPrefix(*changes.prefix); });
    if (changes.numberingGiven && !fw::ConsoleCancelRequested())
        StoreFirstPort(changes.firstPort);
    StorePortModes(changes);
}

}  // namespace qb480
