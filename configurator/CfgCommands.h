#pragma once
// The configurator's commands. Each ends the run through the reporter,
// with its code and its last line.
#include <string>

#include "CfgArguments.h"

namespace qb480 {

class CJsonObject;
class CReporter;

// The last line of a run that a console control event ended.
extern const char kCancelled[];

// json gets the run's members of the JSON object (CfgJson.h).
void RunShow(CReporter& reporter, CJsonObject& json);
void RunCheck(const std::string& file, CReporter& reporter, CJsonObject& json);
void RunInstall(const CfgArguments& arguments, CReporter& reporter, CJsonObject& json);
void RunSet(const CfgArguments& arguments, CReporter& reporter, CJsonObject& json);
void RunExport(const std::string& file, CReporter& reporter);
void RunImport(const CfgArguments& arguments, CReporter& reporter, CJsonObject& json);
void RunRemove(const CfgArguments& arguments, CReporter& reporter);

// The change a run was refused before it began (no rights), on the record.
void RecordRefusedStart(const CfgArguments& arguments, const CReporter& reporter);

}  // namespace qb480
