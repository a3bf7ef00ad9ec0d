#include "windows/SetupLock.h"

#include <ntsecapi.h>

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
CSetupLock::State TryAcquire(HANDLE mutex)
{
    const DWORD wait = WaitForSingleObject(mutex, 0);
    return wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED ? CSetupLock::State::Held : CSetupLock::State::Busy;
}

std::string LeaseName(const std::string& mutexName, DWORD processId, const std::string& nonce)
{
    return mutexName + ".Lease." + fw::DecimalText(processId) + "." + nonce;
}

}  // namespace

std::string NewLeaseNonce()
{
    unsigned char bytes[16];
    if (!RtlGenRandom(bytes, sizeof bytes))
        return std::string();
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (unsigned char byte : bytes) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0xF];
    }
    return text;
}

CSetupLock::~CSetupLock()
{
    m_lease.reset();
    if (m_state == State::Held && !m_lent)
        ReleaseMutex(m_mutex.get());
}

CSetupLock::State CSetupLock::Acquire(HANDLE mutex, const std::string& name)
{
    if (TryAcquire(mutex) == State::Held) {
        m_heldName = name;
        return State::Held;
    }
    m_lent = LentToThisProcess(name);
    return m_lent ? State::Held : State::Busy;
}

bool CSetupLock::LentToThisProcess(const std::string& name) const
{
    char nonce[33] = "";
    if (GetEnvironmentVariableA(kSetupLeaseVariable, nonce, sizeof nonce) != 32)
        return false;
    const fw::UniqueKernelHandle lease(
        OpenEventA(SYNCHRONIZE | READ_CONTROL, FALSE, LeaseName(name, GetCurrentProcessId(), nonce).c_str()));
    return lease && OwnedByAdministrators(lease.get());
}

bool CSetupLock::Lend(DWORD childId, const std::string& nonce)
{
    CAdministratorsOnly security;
    if (m_state != State::Held || m_lent || nonce.size() != 32 || !security.Attributes())
        return false;
    m_lease.reset(CreateEventA(security.Attributes(), TRUE, FALSE, LeaseName(m_heldName, childId, nonce).c_str()));
    // A name that existed is someone else's: no lease then.
    if (m_lease && GetLastError() == ERROR_ALREADY_EXISTS)
        m_lease.reset();
    return static_cast<bool>(m_lease);
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
    return m_mutex ? Acquire(m_mutex.get(), CLockNamespace::kMutexName) : State::Denied;
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
        // Ours admits every administrator: one that refuses us is someone
        // else's, and so is a name another kind of object holds
        // (ERROR_INVALID_HANDLE: an event, a semaphore, a section).
        if (!mutex && error != ERROR_ACCESS_DENIED && error != ERROR_INVALID_HANDLE)
            return State::Denied;
        if (!mutex || (error == ERROR_ALREADY_EXISTS && !OwnedByAdministrators(mutex.get()))) {
            m_notes.push_back("The set-up lock's name " + m_prefix + name +
                              (error == ERROR_INVALID_HANDLE ? " is taken by an object that is no mutex"
                                                             : " is held by a program that is no administrator's") +
                              ": passed over.");
            continue;
        }
        if (Acquire(mutex.get(), m_prefix + name) == State::Busy)
            return State::Busy;
        m_mutex = std::move(mutex);
        if (m_lent)
            return State::Held;
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
        if (TryAcquire(mutex.get()) == State::Busy)
            return true;
        ReleaseMutex(mutex.get());
    }
    return false;
}

}  // namespace qb480
