#include "windows/AdminRights.h"

#include <windows.h>

#include <vector>

#include "UniqueHandle.h"

namespace qb480 {

namespace {

// CheckTokenMembership (Windows 2000 on) looked up at run time, so that
// NT 4.0 still loads the program. Absent where the system lacks it.
using CheckMembership = BOOL(WINAPI*)(HANDLE, PSID, PBOOL);
CheckMembership CheckTokenMembershipFunction()
{
    const HMODULE advapi = GetModuleHandleA("advapi32.dll");
    return advapi ? reinterpret_cast<CheckMembership>(reinterpret_cast<void*>(GetProcAddress(advapi, "CheckTokenMembership"))) : nullptr;
}

// NT 4.0's way: the process token's groups, the Administrators entry
// enabled and not marked deny-only.
bool TokenGroupsHoldEnabled(PSID administrators)
{
    fw::UniqueKernelHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put()))
        return false;
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenGroups, nullptr, 0, &size);
    if (size == 0)
        return false;
    std::vector<unsigned char> buffer(size);
    if (!GetTokenInformation(token.get(), TokenGroups, buffer.data(), size, &size))
        return false;
    const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer.data());
    for (DWORD i = 0; i < groups->GroupCount; ++i) {
        const SID_AND_ATTRIBUTES& group = groups->Groups[i];
        if (EqualSid(group.Sid, administrators))
            return (group.Attributes & SE_GROUP_ENABLED) && !(group.Attributes & SE_GROUP_USE_FOR_DENY_ONLY);
    }
    return false;
}

// AllocateAndInitializeSid exists from NT 3.1 on, unlike CreateWellKnownSid.
UniqueSid NtAuthoritySid(BYTE count, DWORD first, DWORD second)
{
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID sid = nullptr;
    if (!AllocateAndInitializeSid(&nt, count, first, second, 0, 0, 0, 0, 0, 0, &sid))
        return UniqueSid();
    return UniqueSid(sid);
}

}  // namespace

UniqueSid AdministratorsSid() { return NtAuthoritySid(2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS); }

UniqueSid LocalSystemSid() { return NtAuthoritySid(1, SECURITY_LOCAL_SYSTEM_RID, 0); }

bool HoldsAdministratorRights()
{
    const UniqueSid administrators = AdministratorsSid();
    if (!administrators)
        return false;
    if (const auto check = CheckTokenMembershipFunction()) {
        BOOL member = FALSE;
        return check(nullptr, administrators.get(), &member) && member;
    }
    return TokenGroupsHoldEnabled(administrators.get());
}

std::vector<BYTE> ProcessUserSid()
{
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw))
        return {};
    const fw::UniqueKernelHandle token(raw);
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    std::vector<DWORD> buffer(size / sizeof(DWORD) + 1);  // TOKEN_USER is DWORD-aligned
    if (!size || !GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size))
        return {};
    const PSID sid = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
    return std::vector<BYTE>(static_cast<BYTE*>(sid), static_cast<BYTE*>(sid) + GetLengthSid(sid));
}

}  // namespace qb480
