#pragma once
// What the rollback of an installation's configuration puts back: only what
// that configuration changed, and only where nobody has changed it since.
// The action took one record right before the configuration and one right
// after it, both under the set-up lock; the rollback reads the machine
// again, under the lock too. A value this installation changed and nobody
// touched since gets its old value back; one changed since is left, and
// said. Without the record after (a configuration interrupted in the
// middle), everything that differs from the record before was this
// installation's, since it held the lock. Portable, for unit tests.
#include <optional>
#include <string>
#include <vector>

#include "BoardRecord.h"

namespace qb480 {

// A key the configuration may write. The values of a key that is the
// board's alone are all looked at; those of a shared key only by the names
// listed. The System log's Sources is one list that every source shares:
// only the board's own entry in it is put back.
struct KnownKey {
    char id;
    const char* path;
    const char* subkey;  // below path; null: none
    bool boardsAlone;
    bool mayBeCreated;
    const char* names[6];  // of a shared key; the rest null
};
extern const KnownKey kKnownKeys[4];
const KnownKey* KnownKeyOf(char id);
std::string PathOf(const KnownKey& known);

struct KeyRollback {
    char id = 0;
    std::vector<RecordedValue> set;        // written back
    std::vector<std::string> remove;       // names (UTF-16LE bytes) deleted
    bool deleteWhenEmpty = false;          // created by the configuration
};

struct RollbackPlan {
    bool deleteService = false;
    std::vector<KeyRollback> keys;
    ComNumbers release;  // claimed by the configuration, still recorded
    ComNumbers reclaim;  // released by the configuration, free still
    bool anything = false;
    std::vector<std::string> leftAsTheyAre;  // "HKLM\...\Parameters IRQ": changed since by someone else
};

RollbackPlan PlanRollback(const BoardRecord& before, const std::optional<BoardRecord>& after, const BoardRecord& now);

// The System log's Sources list (REG_MULTI_SZ, UTF-16LE bytes) with the
// board's own entry taken out or put in, every other entry as it was.
std::string WithSourceEntry(const std::string& sources, bool present);
bool HasSourceEntry(const std::string& sources);

}  // namespace qb480
