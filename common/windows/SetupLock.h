#pragma once
// One set-up of the board at a time on a machine: two firmware loads would
// fight over the one helper service. Every program that registers the
// board's services takes this lock once it knows it has the rights, and
// never waits for it. It counts across sessions (a remote shell, a start-up
// script), and only Administrators and SYSTEM can make or hold it, so that
// no standard user can stop every set-up by holding its name first:
// - from Vista on, a mutex in a private namespace (SetupLockNamespace.h);
// - before, a mutex in the global namespace that admits Administrators and
//   SYSTEM only. A name that anyone else made is no set-up: it is passed
//   over for the next of a few names, and the notes say so.
#include <string>
#include <vector>

#include "UniqueHandle.h"
#include "windows/SetupLockNamespace.h"

namespace qb480 {

inline constexpr char kSetupLockName[] = "Tessaline.QB480.Setup";
// How many global names are tried before the run goes on without a lock.
inline constexpr int kSetupLockNames = 4;

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

    // Takes the lock without waiting.
    State Take();
    State GetState() const { return m_state; }
    // What a log should know: names passed over, a namespace that failed.
    const std::vector<std::string>& Notes() const { return m_notes; }

private:
    State TakeInNamespace(SECURITY_ATTRIBUTES* security);
    State TakeGlobal(SECURITY_ATTRIBUTES* security);
    fw::UniqueKernelHandle CreateGlobal(const std::string& name, SECURITY_ATTRIBUTES* security);
    bool HeldFurtherOn(int index) const;

    CLockNamespace m_namespace;
    fw::UniqueKernelHandle m_mutex;
    std::string m_prefix = "Global\\";
    std::vector<std::string> m_notes;
    State m_state = State::NotTaken;
};

}  // namespace qb480
