#pragma once
// What the board's configuration may change, as the installation found it
// or left it: whether the driver's service was registered, for each key it
// may write whether the key was there and its values with their types and
// data, and the COM port database's marks with the set-up's record of its
// claims. The installer's action takes one right before the configuration
// and one right after it; the rollback puts back what differs between the
// two. Records are kept as text; this is its form. Portable, so the form
// is unit-tested natively.
#include <optional>
#include <string>
#include <vector>

#include "board/ComNumbering.h"

namespace qb480 {

struct RecordedValue {
    std::string name;  // the name as UTF-16LE bytes, as the registry keeps it
    unsigned long type = 0;
    std::string data;
    bool operator==(const RecordedValue& other) const
    {
        return name == other.name && type == other.type && data == other.data;
    }
};

struct RecordedKey {
    char id = 0;  // which of the keys the action knows
    bool existed = false;
    std::vector<RecordedValue> values;
    bool operator==(const RecordedKey& other) const
    {
        return id == other.id && existed == other.existed && values == other.values;
    }
};

struct RecordedComDatabase {
    std::vector<bool> inUse;  // entry n-1 for COMn, as far as the database reported
    ComNumbers claimed;       // ClaimedComNumbers
    bool InUse(std::uint32_t number) const { return number >= 1 && number <= inUse.size() && inUse[number - 1]; }
    bool operator==(const RecordedComDatabase& other) const
    {
        return inUse == other.inUse && claimed == other.claimed;
    }
};

struct BoardRecord {
    bool serviceExisted = false;
    std::vector<RecordedKey> keys;
    std::optional<RecordedComDatabase> com;  // none: the machine has no database
    bool operator==(const BoardRecord& other) const
    {
        return serviceExisted == other.serviceExisted && keys == other.keys && com == other.com;
    }
    const RecordedKey* Key(char id) const
    {
        for (const RecordedKey& key : keys)
            if (key.id == id)
                return &key;
        return nullptr;
    }
};

// "S1;P1:NAME,TYPE,DATA:...;M0;C<bits>/3,4" with names, data and the
// database's marks (COM1 in the first byte's lowest bit) in hexadecimal.
std::string RecordText(const BoardRecord& record);
// None for any text RecordText does not write.
std::optional<BoardRecord> RecordFromText(const std::string& text);

}  // namespace qb480
