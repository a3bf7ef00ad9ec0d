#include "board/BoardSettings.h"

#include "MessageBox.h"
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

bool StoreBoardValues(const BoardValues& values)
{
    const fw::UniqueHkey key = CreateKeyForWriting(kDriverParamKey);
    if (!key)
        return false;  // the dialog closes as if stored, saying nothing
    bool stored = true;
    const auto write = [&](const char* name, const std::optional<std::uint32_t>& value, const char* failure) {
        if (value && !WriteDword(key.get(), name, *value)) {
            fw::AppMessageBox(failure);
            stored = false;
        }
    };
    write(kValueMemSeg, values.memory, "Could not write MemSeg");
    write(kValueIrq, values.irq, "Could not write Irq");
    write(kValuePort, values.port, "Could not write Port");
    fw::DoneBox("Configuration stored in the Registry");
    return stored;
}

}  // namespace qb480
