// The audit trail's records as an auditor and a collector read them: the
// message's strings and the JSON line, for values that could forge or
// break either.
#include <gtest/gtest.h>

#include "AuditRecord.h"
#include "JsonText.h"
#include "../harness/JsonValue.h"

namespace {

using namespace qb480::audit;
using harness::CJsonReader;
using harness::JsonValue;

std::string At(const std::vector<std::string>& strings, Field field) { return strings[static_cast<std::size_t>(field)]; }

Record IrqChange()
{
    Record record;
    record.event = kSettingChanged;
    record.subject = "IRQ";
    record.oldValue = "5";
    record.newValue = "7";
    record.outcome = "changed";
    record.accountSid = "S-1-5-21-1-2-3-500";
    record.accountName = "LAB\\admin";
    record.initiatorSid = record.accountSid;
    record.initiatorName = record.accountName;
    record.means = "qb480cfg set";
    record.program = "C:\\Program Files\\Tessaline\\QB480\\qb480cfg.exe";
    record.version = "1.0.0";
    record.processId = 4242;
    return record;
}

JsonValue JsonOf(const std::vector<std::string>& strings)
{
    const auto json = CJsonReader::Read(At(strings, Field::Json));
    EXPECT_TRUE(json) << At(strings, Field::Json);
    return json.value_or(JsonValue{});
}

TEST(AuditRecord, EachEventGivesItsStringsInTheirOrderAndTheSameRecordAsJson)
{
    Record record = IrqChange();
    const std::vector<std::string> strings = InsertionStrings(record);
    ASSERT_EQ(strings.size(), kStringCount);
    EXPECT_EQ(strings, (std::vector<std::string>{"IRQ", "5", "7", "changed", "S-1-5-21-1-2-3-500", "LAB\\admin",
                                                 "S-1-5-21-1-2-3-500", "LAB\\admin", "qb480cfg set", "-",
                                                 record.program, "1.0.0", "4242", "-", At(strings, Field::Json)}));
    const JsonValue json = JsonOf(strings);
    EXPECT_EQ(json.keys, (std::vector<std::string>{"v", "event", "type", "category", "setting", "old", "new",
                                                   "outcome", "accountSid", "accountName", "initiatorSid",
                                                   "initiatorName", "means", "sha256", "program", "version",
                                                   "pid", "reason"}));
    EXPECT_EQ(json["v"].number, 1);
    EXPECT_EQ(json["event"].number, 1001);
    EXPECT_EQ(json["type"].text, "information");
    EXPECT_EQ(json["new"].text, "7");
    EXPECT_EQ(json["pid"].number, 4242);
    EXPECT_EQ(json["sha256"].kind, JsonValue::Kind::Null);
    EXPECT_EQ(json["reason"].kind, JsonValue::Kind::Null);

    // A value not set before reads so, and is null for the collector; the
    // first three keys follow the category.
    record.event = kFirmwareFailed;
    record.subject = "C:\\fw\\board.hex";
    record.oldValue.reset();
    const std::vector<std::string> firmware = InsertionStrings(record);
    EXPECT_EQ(At(firmware, Field::Old), kNotSet);
    const JsonValue firmwareJson = JsonOf(firmware);
    EXPECT_EQ(firmwareJson["event"].number, 2003);
    EXPECT_EQ(firmwareJson["type"].text, "error");
    EXPECT_EQ(firmwareJson["hexFile"].text, "C:\\fw\\board.hex");
    EXPECT_EQ(firmwareJson["image"].kind, JsonValue::Kind::Null);
    EXPECT_EQ(firmwareJson["imageBytes"].text, "7");
}

TEST(AuditRecord, ValuesThatWouldForgeOrBreakTheMessageAreShownSafelyAndKeptExactInTheJson)
{
    Record record = IrqChange();
    record.subject = "Port Name Prefix";
    record.oldValue = "50%1 off\r\nAccount: LAB\\boss";
    record.newValue = "Z\xC3\xBCrich \xE2\x82\xAC\xE2\x80\xA8x";  // Zürich €, U+2028, x
    record.reason = "bad \xFF byte, 100%";
    const std::vector<std::string> strings = InsertionStrings(record);

    // Event Viewer expands "%1" in a string; a line break would forge a line.
    EXPECT_EQ(At(strings, Field::Old), "50%\xE2\x80\x8B" "1 off\xE2\x90\x8D\xE2\x90\x8A" "Account: LAB\\boss");
    EXPECT_EQ(At(strings, Field::New), "Z\xC3\xBCrich \xE2\x82\xAC\xE2\x90\xA4x");
    EXPECT_EQ(At(strings, Field::Reason), "bad \xEF\xBF\xBD byte, 100%");

    const std::string& line = At(strings, Field::Json);
    EXPECT_EQ(line.find('%'), std::string::npos);
    EXPECT_EQ(line.find('\n'), std::string::npos);
    EXPECT_NE(line.find("\\u0025"), std::string::npos);
    const JsonValue json = JsonOf(strings);
    EXPECT_EQ(json["old"].text, *record.oldValue);
    EXPECT_EQ(json["new"].text, *record.newValue);
    EXPECT_EQ(json["reason"].text, "bad \xEF\xBF\xBD byte, 100%");
}

TEST(AuditRecord, AValueLongerThanOneInsertionStringIsCutToFitAndSaysSo)
{
    Record record = IrqChange();
    record.reason = std::string(40000, 'r');
    record.means = "qb480cfg import " + std::string(30000, '\x01');  // six times longer in JSON
    record.newValue = std::string(500, 'x') + std::string(1000, 'y') + "end";
    record.outcome.clear();
    for (int i = 0; i < 2000; ++i)
        record.outcome += "\xF0\x9F\x98\x80";  // two UTF-16 units each
    const std::vector<std::string> strings = InsertionStrings(record);

    for (const std::string& text : strings) {
        EXPECT_LE(Utf16Units(text), kMaxStringUnits);
        EXPECT_EQ(qb480::JsonString(text).find("\xEF\xBF\xBD"), std::string::npos) << "cut inside a character";
    }
    for (const Field field : {Field::Reason, Field::Means, Field::New, Field::Outcome})
        EXPECT_LE(Utf16Units(At(strings, field)), kMaxShownUnits);
    EXPECT_NE(At(strings, Field::Reason).find("(cut: 40000 characters in all)"), std::string::npos);
    EXPECT_NE(At(strings, Field::Outcome).find("(cut: 4000 characters in all)"), std::string::npos);

    const JsonValue json = JsonOf(strings);
    EXPECT_EQ(json["setting"].text, "IRQ");
    EXPECT_EQ(json["reason"].text.substr(0, 100), std::string(100, 'r'));
    EXPECT_NE(json["reason"].text.find("(cut: 40000 characters in all)"), std::string::npos);
    EXPECT_NE(json["means"].text.find("(cut: 30016 characters in all)"), std::string::npos);
    // Short enough values stay whole.
    EXPECT_EQ(json["new"].text, *record.newValue);
}

}  // namespace
