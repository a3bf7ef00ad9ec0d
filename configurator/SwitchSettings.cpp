#include "SwitchSettings.h"

#include "board/BoardSettings.h"
#include "EntryText.h"
#include "board/PortModes.h"
#include "board/PortNumbering.h"
#include "settingsfile/SettingsValues.h"

namespace qb480 {

std::string TakeSwitchSettings(const CfgSettingTexts& texts, Settings& settings)
{
    Settings taken = settings;
    if (texts.memory)
        taken.memory = HexEntryValue(*texts.memory);
    if (texts.port)
        taken.port = HexEntryValue(*texts.port);
    if (texts.irq) {
        const auto irq = fw::ParseUnsignedEntry(*texts.irq);
        if (!irq)
            return fw::kPositiveIntegerMessage;
        taken.irq = *irq;
    }
    if (texts.prefix) {
        if (texts.prefix->size() > kMaxPrefixLength)
            return "The Port Name Prefix is too long to name the ports.";
        taken.prefix = *texts.prefix;
    }
    if (texts.first) {
        taken.numberingGiven = true;
        taken.firstPort.reset();
        if (!settings::SameName(*texts.first, "none")) {
            const auto first = fw::ParseUnsignedEntry(*texts.first);
            if (!first)
                return fw::kPositiveIntegerMessage;
            if (!IsValidFirstPort(*first))
                return kFirstPortZeroMessage;
            taken.firstPort = *first;
        }
    }
    settings = taken;
    return std::string();
}

}  // namespace qb480
