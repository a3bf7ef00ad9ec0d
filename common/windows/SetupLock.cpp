#include "windows/SetupLock.h"

#include "EntryText.h"
#include "windows/SetupLockSecurity.h"

namespace qb480 {

namespace {

// The first name is the one every version has used; the others follow it.
std::string GlobalName(int index)
{
    std::string name = kSetupLockName;
    if (index > 0)
        name += "." + fw::DecimalText(static_cast<std::uint32_t>(index));
    return name;
}

// Without waiting. A mutex left by a run that died is abandoned, and ours now.
CSetupLock::State Acquire(HANDLE mutex)
{
    const DWORD wait = WaitForSingleObject(mutex, 0);
    return wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED ? CSetupLock::State::Held : CSetupLock::State::Busy;
}

}  // namespace

CSetupLock::~CSetupLock()
{
    if (m_state == State::Held)
        ReleaseMutex(m_mutex.get());
}

CSetupLock::State CSetupLock::Take()
{
    CAdministratorsOnly security;
    if (!security.Attributes())
        return m_state = State::Denied;
    switch (m_namespace.Open(security.Attributes())) {
    case CLockNamespace::Outcome::Opened:
        return m_state = TakeInNamespace(security.Attributes());
    case CLockNamespace::Outcome::Failed:
        m_notes.push_back("The set-up lock's private namespace cannot be made or opened (error " +
                          fw::DecimalText(m_namespace.Error()) + "): the global name is used.");
        break;
    case CLockNamespace::Outcome::Missing:
        break;
    }
    return m_state = TakeGlobal(security.Attributes());
}

CSetupLock::State CSetupLock::TakeInNamespace(SECURITY_ATTRIBUTES* security)
{
    m_mutex.reset(CreateMutexA(security, FALSE, CLockNamespace::kMutexName));
    return m_mutex ? Acquire(m_mutex.get()) : State::Denied;
}

fw::UniqueKernelHandle CSetupLock::CreateGlobal(const std::string& name, SECURITY_ATTRIBUTES* security)
{
    fw::UniqueKernelHandle mutex(CreateMutexA(security, FALSE, (m_prefix + name).c_str()));
    // NT 4.0 has no namespaces: a backslash there names a folder that does
    // not exist, and the plain name is machine-wide already.
    if (!mutex && GetLastError() == ERROR_PATH_NOT_FOUND && !m_prefix.empty()) {
        m_prefix.clear();
        mutex.reset(CreateMutexA(security, FALSE, name.c_str()));
    }
    return mutex;
}

CSetupLock::State CSetupLock::TakeGlobal(SECURITY_ATTRIBUTES* security)
{
    for (int index = 0; index < kSetupLockNames; ++index) {
        const std::string name = GlobalName(index);
        fw::UniqueKernelHandle mutex = CreateGlobal(name, security);
        const DWORD error = GetLastError();
        // Ours admits every administrator: one that refuses us is someone else's.
        if (!mutex && error != ERROR_ACCESS_DENIED)
            return State::Denied;
        if (!mutex || (error == ERROR_ALREADY_EXISTS && !OwnedByAdministrators(mutex.get()))) {
            m_notes.push_back("The set-up lock's name " + m_prefix + name +
                              " is held by a program that is no administrator's: passed over.");
            continue;
        }
        if (Acquire(mutex.get()) == State::Busy)
            return State::Busy;
        m_mutex = std::move(mutex);
        // A set-up that took a later name while this one was held elsewhere
        // may still run.
        if (HeldFurtherOn(index + 1)) {
            ReleaseMutex(m_mutex.get());
            return State::Busy;
        }
        return State::Held;
    }
    m_notes.push_back("Every name of the set-up lock is held by programs that are no administrator's: the run "
                      "goes on without it.");
    return State::Unguarded;
}

bool CSetupLock::HeldFurtherOn(int index) const
{
    for (; index < kSetupLockNames; ++index) {
        const fw::UniqueKernelHandle mutex(
            OpenMutexA(SYNCHRONIZE | READ_CONTROL, FALSE, (m_prefix + GlobalName(index)).c_str()));
        if (!mutex || !OwnedByAdministrators(mutex.get()))
            continue;
        if (Acquire(mutex.get()) == State::Busy)
            return true;
        ReleaseMutex(mutex.get());
    }
    return false;
}

}  // namespace qb480
