#pragma once
// The configurator's commands. Each ends the run through the reporter,
// with its code and its last line.
#include <string>

#include "CfgArguments.h"

namespace qb480 {

class CReporter;

// The last line of a run that a console control event ended.
extern const char kCancelled[];

void RunShow(CReporter& reporter);
void RunInstall(const CfgArguments& arguments, CReporter& reporter);
void RunSet(const CfgArguments& arguments, CReporter& reporter);
void RunExport(const std::string& file, CReporter& reporter);
void RunImport(const std::string& file, CReporter& reporter);
void RunRemove(CReporter& reporter);

}  // namespace qb480
