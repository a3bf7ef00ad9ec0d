#include "board/BoardSettings.h"

#include "EntryText.h"
#include "MessageBox.h"
#include "SettingsNames.h"
#include "windows/AuditLog.h"
#include "windows/ParamNames.h"
#include "windows/Registry.h"
#include "windows/SystemText.h"

namespace qb480 {

namespace {

std::uint32_t ReadBoardValue(const char* name)
{
    const fw::UniqueHkey key = CreateKeyForReadWrite(kDriverParamKey);
    return ReadDword(key.get(), name).value_or(0);
}

constexpr char kKeyNotOpened[] = "the driver's parameter key cannot be opened";

// One value's write as the audit trail records it, in the settings file's
// terms.
struct BoardValueWrite {
    const char* valueName;
    const char* setting;
    std::string (*text)(std::uint32_t);
    const char* failure;
};
constexpr BoardValueWrite kMemoryWrite{kValueMemSeg, settings::kMemoryKey, fw::HexText, "Could not write MemSeg"};
constexpr BoardValueWrite kIrqWrite{kValueIrq, settings::kIrqKey, fw::DecimalText, "Could not write Irq"};
constexpr BoardValueWrite kPortWrite{kValuePort, settings::kPortKey, fw::HexText, "Could not write Port"};

std::optional<std::string> StoredText(HKEY key, const BoardValueWrite& write)
{
    const auto value = ReadDword(key, write.valueName);
    return value ? std::optional<std::string>(write.text(*value)) : std::nullopt;
}

}  // namespace

BoardResources ReadBoardResources()
{
    BoardResources resources;
    resources.memory = ReadBoardValue(kValueMemSeg);
    resources.port = ReadBoardValue(kValuePort);
    resources.irq = ReadBoardValue(kValueIrq);
    return resources;
}

std::uint32_t HexEntryValue(const std::string& text) { return ParseHexText(SystemUpperCase(text).c_str()); }

JudgedResources JudgeBoardEntries(const std::string& memoryText, const std::string& portText, std::uint32_t irq)
{
    JudgedResources judged;
    judged.resources.memory = HexEntryValue(memoryText);
    judged.resources.port = HexEntryValue(portText);
    judged.resources.irq = irq;
    judged.check = ValidateBoardResources(judged.resources.memory, judged.resources.port, irq);
    return judged;
}

bool StoreBoardResources(const BoardResources& resources)
{
    return StoreBoardValues({resources.memory, resources.port, resources.irq});
}

void RecordRefusedBoardValues(const BoardValues& values, const std::string& why)
{
    const fw::UniqueHkey query = OpenKeyForQuery(kDriverParamKey);
    const auto refuse = [&](const BoardValueWrite& what, const std::optional<std::uint32_t>& value) {
        if (value)
            RecordRefusedSetting(what.setting, StoredText(query.get(), what), what.text(*value), why);
    };
    refuse(kMemoryWrite, values.memory);
    refuse(kIrqWrite, values.irq);
    refuse(kPortWrite, values.port);
}

bool StoreBoardValues(const BoardValues& values)
{
    const fw::UniqueHkey query = OpenKeyForQuery(kDriverParamKey);
    const std::optional<std::string> before[] = {StoredText(query.get(), kMemoryWrite),
                                                 StoredText(query.get(), kIrqWrite),
                                                 StoredText(query.get(), kPortWrite)};
    const fw::UniqueHkey key = CreateKeyForWriting(kDriverParamKey);
    bool stored = true;
    const auto write = [&](const BoardValueWrite& what, const std::optional<std::uint32_t>& value,
                           const std::optional<std::string>& old) {
        if (!value)
            return;
        const bool written = key && WriteDword(key.get(), what.valueName, *value);
        if (key && !written) {
            fw::AppMessageBox(what.failure);
            stored = false;
        }
        RecordSetting(what.setting, old, what.text(*value), written, key ? what.failure : kKeyNotOpened);
    };
    write(kMemoryWrite, values.memory, before[0]);
    write(kIrqWrite, values.irq, before[1]);
    write(kPortWrite, values.port, before[2]);
    if (!key)
        return false;  // the dialog closes as if stored, saying nothing
    fw::DoneBox("Configuration stored in the Registry");
    return stored;
}

}  // namespace qb480
