#pragma once
// A standard user's program (NonAdministratorToken) that made the set-up
// lock's first global name before any set-up and holds it: the way a user
// could stop every set-up while the lock trusted any holder.
#include "CallSite.h"
#include "Child.h"

#include <optional>
#include <string>

namespace harness {

inline constexpr char kSetupLockGlobalName[] = "Global\\Tessaline.QB480.Setup";

class CLockSquatter {
public:
    enum class Security { Default, AdmitsNoOne, AnEvent };
    // Holds name (the lock's first name by default); waits until it is
    // there. A failure is reported at the caller's line.
    explicit CLockSquatter(Security security, const std::string& name = kSetupLockGlobalName, CallSite where = {});
    bool Holds() const { return m_holds; }

private:
    std::optional<CChild> m_child;
    bool m_holds = false;
};

// Whether an object of this name exists, whoever may open it and whatever
// its kind.
bool MutexNameExists(const char* name);

}  // namespace harness
