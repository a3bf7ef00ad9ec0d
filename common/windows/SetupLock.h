#pragma once
// One set-up of the board at a time on a machine: two firmware loads would
// fight over the one helper service. Every program that registers the
// board's services takes this lock before anything else, and never waits
// for it. It is a named mutex in the global namespace, so that runs in
// other sessions (a remote shell, a start-up script) count too.
#include "UniqueHandle.h"

namespace qb480 {

inline constexpr char kSetupLockName[] = "Tessaline.QB480.Setup";

class CSetupLock {
public:
    enum class State {
        Held,
        Busy,    // another run holds it
        Denied,  // it cannot be made or opened (by a standard user, for one)
    };

    CSetupLock();
    ~CSetupLock();
    CSetupLock(const CSetupLock&) = delete;
    CSetupLock& operator=(const CSetupLock&) = delete;

    State GetState() const { return m_state; }

private:
    fw::UniqueKernelHandle m_mutex;
    State m_state = State::Denied;
};

}  // namespace qb480
