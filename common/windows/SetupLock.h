#pragma once
// One set-up of the board at a time on a machine: two firmware loads would
// fight over the one helper service. Every program that registers the
// board's services takes this lock once it knows it has the rights, and
// never waits for it. It counts across sessions (a remote shell, a start-up
// script), and only Administrators and SYSTEM can make or hold it, so that
// no standard user can stop every set-up by holding its name first:
// - from Vista on, a mutex in a private namespace (SetupLockNamespace.h);
// - before, a mutex in the global namespace that admits Administrators and
//   SYSTEM only. A name that anyone else made is no set-up, whatever kind
//   of object it names: it is passed over for the next of a few names, and
//   the notes say so.
// A holder may lend the lock to one child it starts (the installer's action
// to the configurator it runs): the child then finds it held for it by a
// lease object that only an administrator or SYSTEM can have made.
#include <string>
#include <vector>

#include "UniqueHandle.h"
#include "windows/SetupLockNamespace.h"

namespace qb480 {

inline constexpr char kSetupLockName[] = "Tessaline.QB480.Setup";
// How many global names are tried before the run goes on without a lock.
inline constexpr int kSetupLockNames = 4;
// The environment variable that names a lease to the child it is lent to.
inline constexpr char kSetupLeaseVariable[] = "QB480_SETUP_LEASE";

// 128 random bits as hexadecimal, a lease's name that no one can guess to
// make first; "" when the system gives no random bits.
std::string NewLeaseNonce();

class CSetupLock {
public:
    enum class State {
        NotTaken,
        Held,
        Busy,       // another administrator's or SYSTEM's set-up holds it
        Denied,     // it cannot be made
        Unguarded,  // every name is held by someone else: no lock to take
    };

    CSetupLock() = default;
    ~CSetupLock();
    CSetupLock(const CSetupLock&) = delete;
    CSetupLock& operator=(const CSetupLock&) = delete;

    // Takes the lock without waiting, or finds it lent to this process.
    State Take();
    // While the lock is held: lends it to the process childId, started
    // suspended with nonce (NewLeaseNonce) as its kSetupLeaseVariable,
    // until EndLoan or this object's end. False when it cannot be lent.
    bool Lend(DWORD childId, const std::string& nonce);
    void EndLoan() { m_lease.reset(); }
    State GetState() const { return m_state; }
    // Held for this process by its parent's lease: an administrator's or
    // SYSTEM's set-up started it.
    bool Lent() const { return m_lent; }
    // What a log should know: names passed over, a namespace that failed.
    const std::vector<std::string>& Notes() const { return m_notes; }

private:
    State Acquire(HANDLE mutex, const std::string& name);
    bool LentToThisProcess(const std::string& name) const;
    State TakeInNamespace(SECURITY_ATTRIBUTES* security);
    State TakeGlobal(SECURITY_ATTRIBUTES* security);
    fw::UniqueKernelHandle CreateGlobal(const std::string& name, SECURITY_ATTRIBUTES* security);
    bool HeldFurtherOn(int index) const;

    CLockNamespace m_namespace;
    fw::UniqueKernelHandle m_mutex;
    std::string m_heldName;  // the mutex's full name while held
    fw::UniqueKernelHandle m_lease;
    bool m_lent = false;  // held for this process by its parent's lease
    std::string m_prefix = "Global\\";
    std::vector<std::string> m_notes;
    State m_state = State::NotTaken;
};

}  // namespace qb480
