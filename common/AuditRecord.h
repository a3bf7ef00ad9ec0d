#pragma once
// One record of the audit trail turned into the insertion strings of its
// event (AuditEvents.h). Portable, so that what an auditor reads is
// unit-tested natively; the strings are UTF-8 here and UTF-16 in the log.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "AuditEvents.h"

namespace qb480::audit {

// Every text in UTF-8; a byte that is not valid UTF-8 reads U+FFFD.
struct Record {
    Event event = kSettingChanged;
    std::string subject;
    std::optional<std::string> oldValue;  // absent: not set before
    std::optional<std::string> newValue;  // absent: not set after
    std::string outcome;
    std::string accountSid, accountName;
    std::string initiatorSid, initiatorName;
    std::string means;
    std::string sha256;  // of the file the change came from; empty when none did
    std::string program, version;
    std::uint32_t processId = 0;
    std::string reason;
};

// ReportEventW's page: "Each string is limited to 31,839 characters."
inline constexpr std::size_t kMaxStringUnits = 31839;
// A value as the message shows it is cut at this many UTF-16 units; the
// JSON record keeps it up to the page's limit.
inline constexpr std::size_t kMaxShownUnits = 1024;
inline constexpr char kNotSet[] = "(not set)";
inline constexpr char kNone[] = "-";

// The kStringCount strings in Field order. The first fourteen are for
// reading in the message: a value that is empty reads "-" (Wine's trace
// and some collectors drop empty strings), an absent old or new one
// "(not set)", control characters show as their pictures (a line break
// cannot forge a line of the message), a '%' is followed by a zero-width
// space (Event Viewer would expand "%1" in a string), and a value longer
// than kMaxShownUnits is cut with a note of its length. The last is the
// whole record as one line of JSON, "v":1 first, with the values as given,
// '%' written \u0025, and the longest values cut until it fits
// kMaxStringUnits.
std::vector<std::string> InsertionStrings(const Record& record);

// Length in UTF-16 units, as the log counts a string.
std::size_t Utf16Units(const std::string& utf8);

}  // namespace qb480::audit
