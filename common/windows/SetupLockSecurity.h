#pragma once
// The set-up lock's objects admit Administrators and SYSTEM only, and are
// owned by Administrators: a standard user can neither open them nor make
// one that passes for them (only a member of a group may name it owner).
#include <windows.h>

#include <vector>

#include "windows/AdminRights.h"

namespace qb480 {

class CAdministratorsOnly {
public:
    CAdministratorsOnly();
    CAdministratorsOnly(const CAdministratorsOnly&) = delete;
    CAdministratorsOnly& operator=(const CAdministratorsOnly&) = delete;

    // Null when the descriptor cannot be built: then nothing is made.
    SECURITY_ATTRIBUTES* Attributes() { return m_ready ? &m_attributes : nullptr; }

private:
    UniqueSid m_administrators;
    UniqueSid m_system;
    std::vector<DWORD> m_acl;  // an ACL is DWORD-aligned
    SECURITY_DESCRIPTOR m_descriptor = {};
    SECURITY_ATTRIBUTES m_attributes = {};
    bool m_ready = false;
};

// True when the object's owner is Administrators or SYSTEM, as every lock an
// administrator's set-up made is, or with ownAccount this process's own
// account; false for any other owner, for none, and when the owner cannot
// be read. file: a file or folder, else a kernel object.
bool OwnedByAdministrators(HANDLE object, bool file = false, bool ownAccount = false);

}  // namespace qb480
