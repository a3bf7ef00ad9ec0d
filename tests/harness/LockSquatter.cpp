#include "LockSquatter.h"

#include "HarnessFiles.h"
#include "Robot.h"

namespace harness {

bool MutexNameExists(const char* name)
{
    const fw::UniqueKernelHandle mutex(OpenMutexA(SYNCHRONIZE, FALSE, name));
    return mutex || GetLastError() == ERROR_ACCESS_DENIED || GetLastError() == ERROR_INVALID_HANDLE;
}

CLockSquatter::CLockSquatter(Security security, const std::string& name, CallSite where)
{
    const fw::UniqueKernelHandle token = NonAdministratorToken();
    if (!token) {
        Fail(where, "set-up: no restricted token");
        return;
    }
    ChildStart start;
    start.token = token.get();
    const std::string deny = security == Security::AdmitsNoOne ? " deny" : security == Security::AnEvent ? " event" : "";
    m_child.emplace("\"" + HarnessBinary("lockholder.exe") + "\" " + name + deny, std::string(), start);
    m_holds = m_child->Started() && WaitUntil([&] { return MutexNameExists(name.c_str()); });
    if (!m_holds)
        Fail(where, "set-up: the standard user's program does not hold " + name);
}

}  // namespace harness
