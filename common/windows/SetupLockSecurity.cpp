#include "windows/SetupLockSecurity.h"

#include <aclapi.h>

namespace qb480 {

CAdministratorsOnly::CAdministratorsOnly() : m_administrators(AdministratorsSid()), m_system(LocalSystemSid())
{
    if (!m_administrators || !m_system)
        return;
    const DWORD aceBase = sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD);
    const DWORD size = sizeof(ACL) + 2 * aceBase + GetLengthSid(m_administrators.get()) + GetLengthSid(m_system.get());
    m_acl.assign((size + sizeof(DWORD) - 1) / sizeof(DWORD), 0);
    auto* const acl = reinterpret_cast<ACL*>(m_acl.data());
    m_ready = InitializeAcl(acl, size, ACL_REVISION) &&
              AddAccessAllowedAce(acl, ACL_REVISION, GENERIC_ALL, m_administrators.get()) &&
              AddAccessAllowedAce(acl, ACL_REVISION, GENERIC_ALL, m_system.get()) &&
              InitializeSecurityDescriptor(&m_descriptor, SECURITY_DESCRIPTOR_REVISION) &&
              SetSecurityDescriptorOwner(&m_descriptor, m_administrators.get(), FALSE) &&
              SetSecurityDescriptorDacl(&m_descriptor, TRUE, acl, FALSE);
    m_attributes = {sizeof m_attributes, &m_descriptor, FALSE};
}

bool OwnedByAdministrators(HANDLE object, bool file, bool ownAccount)
{
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(object, file ? SE_FILE_OBJECT : SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner,
                        nullptr, nullptr, nullptr, &descriptor) != ERROR_SUCCESS)
        return false;
    const UniqueSid administrators = AdministratorsSid();
    const UniqueSid system = LocalSystemSid();
    std::vector<BYTE> own = ownAccount ? ProcessUserSid() : std::vector<BYTE>();
    const bool ours = owner && administrators && system &&
                      (EqualSid(owner, administrators.get()) || EqualSid(owner, system.get()) ||
                       (!own.empty() && EqualSid(owner, own.data())));
    LocalFree(descriptor);
    return ours;
}

}  // namespace qb480
