#pragma once
// What the board's configuration may change, as it was before the
// installation ran it: whether the driver's service was registered, and
// for each key it may write, whether the key was there and its values with
// their types and data. The packages' rollback action puts exactly that
// back. The record travels in the rollback action's CustomActionData, so
// it is text; this is its form. Portable, so the form is unit-tested
// natively.
#include <optional>
#include <string>
#include <vector>

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

struct BoardRecord {
    bool serviceExisted = false;
    std::vector<RecordedKey> keys;
    bool operator==(const BoardRecord& other) const
    {
        return serviceExisted == other.serviceExisted && keys == other.keys;
    }
};

// "S1;P1:NAME,TYPE,DATA:...;M0" with names and data in hexadecimal.
std::string RecordText(const BoardRecord& record);
// None for any text RecordText does not write.
std::optional<BoardRecord> RecordFromText(const std::string& text);

}  // namespace qb480
