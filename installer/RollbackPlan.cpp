#include "RollbackPlan.h"

#include "windows/ParamNames.h"

namespace qb480 {

const KnownKey kKnownKeys[4] = {
    {'M', kSpecialModesKey, nullptr, true, true, {}},
    {'P', kDriverParamKey, nullptr, false, true, {kValueMemSeg, kValuePort, kValueIrq, kValuePortNamePrefix, kValueFirstPort}},
    {'E', kEventLogSystemKey, kEventLogSourceName, true, true, {}},
    {'L', kEventLogSystemKey, nullptr, false, false, {kValueSources}},
};

const KnownKey* KnownKeyOf(char id)
{
    for (const KnownKey& known : kKnownKeys)
        if (known.id == id)
            return &known;
    return nullptr;
}

std::string PathOf(const KnownKey& known)
{
    return known.subkey ? std::string(known.path) + "\\" + known.subkey : std::string(known.path);
}

namespace {

using Units = std::u16string;

std::string Utf16(const std::string& ascii)
{
    std::string bytes;
    for (const char c : ascii) {
        bytes += c;
        bytes += '\0';
    }
    return bytes;
}

// A name as the log shows it: its ASCII characters, '?' for the others.
std::string Shown(const std::string& utf16)
{
    std::string text;
    for (std::size_t i = 0; i + 1 < utf16.size(); i += 2)
        text += utf16[i + 1] == '\0' && static_cast<unsigned char>(utf16[i]) < 0x80 ? utf16[i] : '?';
    return text;
}

const RecordedValue* Find(const RecordedKey* key, const std::string& name)
{
    if (key)
        for (const RecordedValue& value : key->values)
            if (value.name == name)
                return &value;
    return nullptr;
}

bool Same(const RecordedValue* a, const RecordedValue* b)
{
    return a && b ? a->type == b->type && a->data == b->data : a == b;
}

std::vector<std::string> NamesOf(const KnownKey& known, const std::vector<const RecordedKey*>& keys)
{
    std::vector<std::string> names;
    if (!known.boardsAlone) {
        for (const char* name : known.names)
            if (name)
                names.push_back(Utf16(name));
        return names;
    }
    for (const RecordedKey* key : keys)
        for (std::size_t i = 0; key && i < key->values.size(); ++i) {
            bool listed = false;
            for (const std::string& name : names)
                listed = listed || name == key->values[i].name;
            if (!listed)
                names.push_back(key->values[i].name);
        }
    return names;
}

// The Sources list: only the board's own entry counts.
void PlanSources(const RecordedValue* before, const RecordedValue* after, const RecordedValue* now,
                 const std::string& where, KeyRollback& key, RollbackPlan& plan)
{
    const bool was = before && HasSourceEntry(before->data);
    const bool is = after && HasSourceEntry(after->data);
    if (was == is)
        return;
    if ((now && HasSourceEntry(now->data)) != is)
        return plan.leftAsTheyAre.push_back(where);
    key.set.push_back({Utf16(kValueSources), now ? now->type : 7 /* REG_MULTI_SZ */,
                       WithSourceEntry(now ? now->data : std::string(), was)});
}

KeyRollback PlanKey(const KnownKey& known, const RecordedKey* before, const RecordedKey* after,
                    const RecordedKey* now, RollbackPlan& plan)
{
    KeyRollback key;
    key.id = known.id;
    const std::string where = "HKLM\\" + PathOf(known) + " ";
    for (const std::string& name : NamesOf(known, {before, after, now})) {
        const RecordedValue* was = Find(before, name);
        const RecordedValue* is = Find(after, name);
        const RecordedValue* found = Find(now, name);
        if (known.id == 'L' && name == Utf16(kValueSources)) {
            PlanSources(was, is, found, where + Shown(name), key, plan);
            continue;
        }
        if (Same(was, is))
            continue;
        if (!Same(found, is)) {
            plan.leftAsTheyAre.push_back(where + Shown(name));
            continue;
        }
        if (was)
            key.set.push_back(*was);
        else
            key.remove.push_back(name);
    }
    key.deleteWhenEmpty = known.mayBeCreated && !(before && before->existed) && after && after->existed;
    return key;
}

void PlanComNumbers(const RecordedComDatabase& before, const RecordedComDatabase& after,
                    const RecordedComDatabase& now, RollbackPlan& plan)
{
    for (std::uint32_t number : after.claimed)
        if (!before.claimed.count(number) && after.InUse(number) && !before.InUse(number) && now.claimed.count(number))
            plan.release.insert(number);
    for (std::uint32_t number : before.claimed)
        if (!after.claimed.count(number) && before.InUse(number) && !after.InUse(number) && !now.InUse(number))
            plan.reclaim.insert(number);
}

std::vector<Units> Entries(const std::string& bytes)
{
    std::vector<Units> entries(1);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const char16_t unit = static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                                    static_cast<unsigned char>(bytes[i + 1]) << 8);
        if (unit)
            entries.back() += unit;
        else if (entries.back().empty())
            break;  // the list's end
        else
            entries.emplace_back();
    }
    if (entries.back().empty())
        entries.pop_back();
    return entries;
}

const Units kOwnEntry = u"vdxqb480";

}  // namespace

bool HasSourceEntry(const std::string& sources)
{
    for (const Units& entry : Entries(sources))
        if (entry == kOwnEntry)
            return true;
    return false;
}

std::string WithSourceEntry(const std::string& sources, bool present)
{
    std::vector<Units> entries;
    for (const Units& entry : Entries(sources))
        if (entry != kOwnEntry)
            entries.push_back(entry);
    if (present)
        entries.push_back(kOwnEntry);
    std::string bytes;
    for (const Units& entry : entries)
        for (const char16_t unit : entry + u'\0') {
            bytes += static_cast<char>(unit & 0xFF);
            bytes += static_cast<char>(unit >> 8);
        }
    return bytes + std::string(2, '\0');
}

RollbackPlan PlanRollback(const BoardRecord& before, const std::optional<BoardRecord>& after, const BoardRecord& now)
{
    // Interrupted in the middle: the machine now is what it left.
    const BoardRecord& left = after ? *after : now;
    RollbackPlan plan;
    plan.deleteService = !before.serviceExisted && left.serviceExisted && now.serviceExisted;
    for (const KnownKey& known : kKnownKeys) {
        KeyRollback key = PlanKey(known, before.Key(known.id), left.Key(known.id), now.Key(known.id), plan);
        if (!key.set.empty() || !key.remove.empty() || key.deleteWhenEmpty)
            plan.keys.push_back(key);
    }
    if (before.com && left.com && now.com)
        PlanComNumbers(*before.com, *left.com, *now.com, plan);
    plan.anything = plan.deleteService || !plan.keys.empty() || !plan.release.empty() || !plan.reclaim.empty();
    return plan;
}

}  // namespace qb480
