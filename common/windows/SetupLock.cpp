#include "windows/SetupLock.h"

#include <string>

namespace qb480 {

CSetupLock::CSetupLock()
{
    m_mutex.reset(CreateMutexA(nullptr, FALSE, (std::string("Global\\") + kSetupLockName).c_str()));
    // NT 4.0 has no namespaces: a backslash there names a folder that does
    // not exist, and the plain name is machine-wide already.
    if (!m_mutex && GetLastError() == ERROR_PATH_NOT_FOUND)
        m_mutex.reset(CreateMutexA(nullptr, FALSE, kSetupLockName));
    if (!m_mutex)
        return;
    // A mutex left by a run that died is abandoned, and ours now.
    const DWORD wait = WaitForSingleObject(m_mutex.get(), 0);
    m_state = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED ? State::Held : State::Busy;
}

CSetupLock::~CSetupLock()
{
    if (m_state == State::Held)
        ReleaseMutex(m_mutex.get());
}

}  // namespace qb480
