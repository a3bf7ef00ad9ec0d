#include "ActionData.h"

#include "EntryText.h"

namespace qb480 {

namespace {

// The ASCII unit separator: never part of a value that passed ValueFault.
constexpr char kFieldEnd = '\x1F';

const BoardProperty* PropertyNamed(const std::string& name)
{
    for (const BoardProperty& property : kBoardProperties)
        if (name == property.name)
            return &property;
    return nullptr;
}

}  // namespace

std::string ValueFault(const GivenProperty& property)
{
    for (const char c : property.value)
        if (static_cast<unsigned char>(c) < 0x20)
            return property.name + " holds a control character (code " + fw::DecimalText(static_cast<unsigned char>(c)) +
                   "), which no setting of the board takes.";
    return std::string();
}

bool IsSha256Text(const std::string& text)
{
    return text.size() == 64 && text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

std::string ActionDataOf(const ConfiguratorCall& call, const std::vector<GivenProperty>& given)
{
    std::string data = call.program + kFieldEnd + call.sha256 + kFieldEnd + call.folder + kFieldEnd;
    for (const GivenProperty& property : given)
        data += property.name + "=" + property.value + kFieldEnd;
    for (const auto& [name, value] : {std::pair{kUserSidProperty, &call.initiatorSid},
                                      std::pair{kLogonUserProperty, &call.initiatorName}})
        if (!value->empty())
            data += std::string(name) + "=" + *value + kFieldEnd;
    return data;
}

std::optional<ConfiguratorCall> CallOf(const std::string& data)
{
    std::vector<std::string> fields;
    for (std::size_t at = 0; at < data.size();) {
        const std::size_t end = data.find(kFieldEnd, at);
        if (end == std::string::npos)
            return std::nullopt;
        fields.push_back(data.substr(at, end - at));
        at = end + 1;
    }
    constexpr std::size_t kFirstProperty = 3;
    if (fields.size() < kFirstProperty || fields[0].empty() || !IsSha256Text(fields[1]) || fields[2].empty())
        return std::nullopt;
    ConfiguratorCall call{fields[0], fields[1], fields[2], {"install"}, {}, {}};
    for (std::size_t i = kFirstProperty; i < fields.size(); ++i) {
        const std::size_t equals = fields[i].find('=');
        const GivenProperty given{fields[i].substr(0, equals), equals == std::string::npos ? "" : fields[i].substr(equals + 1)};
        if (equals == std::string::npos || !ValueFault(given).empty())
            return std::nullopt;
        if (given.name == kUserSidProperty || given.name == kLogonUserProperty) {
            (given.name == kUserSidProperty ? call.initiatorSid : call.initiatorName) = given.value;
            continue;
        }
        const BoardProperty* property = PropertyNamed(given.name);
        if (!property)
            return std::nullopt;
        call.arguments.push_back(property->option);
        call.arguments.push_back(given.value);
    }
    return call;
}

}  // namespace qb480
