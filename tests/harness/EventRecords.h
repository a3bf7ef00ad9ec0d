#pragma once
// The audit trail read back. Wine's ReportEventW writes nothing to a log:
// it prints the record's type, category, ID and string count on the advapi
// channel (fixme) and then each string on the eventlog channel (trace for
// information, warn for warnings, err for errors), through debugstr_w,
// which escapes and cuts it at about 300 characters, to the Unix standard
// error that a child inherits from the test. The runner (winerun.sh) sends
// the test's to the file QB480_WINE_STDERR names when that is set, as for
// the cases ctest runs with kEventTrace in WINEDEBUG; qb480.cpl, loaded
// into the test, is heard through its import of ReportEventW instead.
#include <windows.h>

#include <string>
#include <vector>

#include "AuditEvents.h"
#include "ImportHook.h"
#include "Robot.h"

namespace harness {

inline constexpr char kEventTrace[] = "-all,err+all,fixme+advapi,trace+eventlog,warn+eventlog";
inline constexpr char kWineStderrVariable[] = "QB480_WINE_STDERR";

struct EventRecord {
    DWORD id = 0;
    WORD type = 0;
    WORD category = 0;
    std::vector<std::string> strings;  // UTF-8

    std::string At(qb480::audit::Field field) const
    {
        const auto index = static_cast<std::size_t>(field);
        return index < strings.size() ? strings[index] : std::string("(no string ") + std::to_string(index + 1) + ")";
    }
};

// The records in lines of Wine's debug output.
std::vector<EventRecord> RecordsIn(const Texts& trace);

// The lines Wine's debug output gains from now on: the children's, in the
// file the runner sends it to. Without one (the test not run with the
// trace) Captured() is false and the lines are none.
class CWineStderr {
public:
    CWineStderr();
    bool Captured() const { return !m_path.empty(); }
    Texts NewLines();

private:
    std::string m_path;
    std::size_t m_offset = 0;
};

// The records a module reports, heard at its import of ReportEventW, each
// passed on to the real one.
class CEventRecorder {
public:
    explicit CEventRecorder(HMODULE module);
    bool Active() const { return static_cast<bool>(m_hook); }
    std::vector<EventRecord> Records() const;

private:
    CImportHook m_hook;
};

// What differs from the source every way of setting up registers: its four
// values and its message file; empty when it is all in place.
std::string AuditSourceProblems();

}  // namespace harness
