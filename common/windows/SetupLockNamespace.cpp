#include "windows/SetupLockNamespace.h"

#include "windows/AdminRights.h"

namespace qb480 {

namespace {

constexpr wchar_t kAlias[] = L"Tessaline.QB480";

template <typename Function>
bool Find(HMODULE module, const char* name, Function& function)
{
    function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    return function != nullptr;
}

bool Load(CLockNamespace::Functions& f)
{
    const HMODULE kernel = GetModuleHandleA("kernel32.dll");
    return kernel && Find(kernel, "CreateBoundaryDescriptorW", f.createBoundary) &&
           Find(kernel, "AddSIDToBoundaryDescriptor", f.addSid) &&
           Find(kernel, "DeleteBoundaryDescriptor", f.deleteBoundary) &&
           Find(kernel, "CreatePrivateNamespaceW", f.create) && Find(kernel, "OpenPrivateNamespaceW", f.open) &&
           Find(kernel, "ClosePrivateNamespace", f.close);
}

}  // namespace

CLockNamespace::~CLockNamespace()
{
    // Closed, not destroyed: objects of a set-up that opened it after us
    // stay (Object Namespaces); later opens fail, and a later set-up makes
    // it anew.
    if (m_namespace)
        m_functions.close(m_namespace, 0);
    if (m_boundary)
        m_functions.deleteBoundary(m_boundary);
}

CLockNamespace::Outcome CLockNamespace::Open(SECURITY_ATTRIBUTES* security)
{
    if (!Load(m_functions))
        return Outcome::Missing;
    m_boundary = m_functions.createBoundary(kAlias, 0);
    if (!m_boundary)
        return Outcome::Missing;
    const UniqueSid administrators = AdministratorsSid();
    if (!administrators || !m_functions.addSid(&m_boundary, administrators.get())) {
        m_error = GetLastError();
        return Outcome::Failed;
    }
    // Another set-up may make the namespace, or end, between the two calls.
    // CreatePrivateNamespace's page lists no error for a namespace that
    // exists, so any failure to make it is followed by an open.
    for (int attempt = 0; attempt < 3 && !m_namespace; ++attempt) {
        m_namespace = m_functions.create(security, m_boundary, kAlias);
        m_error = m_namespace ? 0 : GetLastError();
        if (!m_namespace)
            m_namespace = m_functions.open(m_boundary, kAlias);
    }
    // The failure to make it says why, rather than the open's.
    if (m_namespace)
        m_error = 0;
    return m_namespace ? Outcome::Opened : Outcome::Failed;
}

}  // namespace qb480
