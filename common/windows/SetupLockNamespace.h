#pragma once
// From Windows Vista on, the set-up lock lives in a private namespace whose
// boundary is the Administrators group: only a process that holds the
// group enabled can make the namespace, and its descriptor lets only
// Administrators and SYSTEM open it, so no standard user can hold a name in
// it. The functions are looked up at run time, so that NT 4.0 to XP, which
// lack them, still load the program.
#include <windows.h>

namespace qb480 {

class CLockNamespace {
public:
    enum class Outcome {
        Opened,
        Missing,  // the system has no private namespaces
        Failed,   // it has; Error() says why this one cannot be made or opened
    };

    CLockNamespace() = default;
    ~CLockNamespace();
    CLockNamespace(const CLockNamespace&) = delete;
    CLockNamespace& operator=(const CLockNamespace&) = delete;

    // Makes the namespace with this security, or opens the one another
    // set-up made.
    Outcome Open(SECURITY_ATTRIBUTES* security);
    DWORD Error() const { return m_error; }

    // The lock's mutex inside the namespace.
    static constexpr const char* kMutexName = "Tessaline.QB480\\Setup";

    struct Functions {
        HANDLE(WINAPI* createBoundary)(LPCWSTR, ULONG);
        BOOL(WINAPI* addSid)(HANDLE*, PSID);
        VOID(WINAPI* deleteBoundary)(HANDLE);
        HANDLE(WINAPI* create)(LPSECURITY_ATTRIBUTES, LPVOID, LPCWSTR);
        HANDLE(WINAPI* open)(LPVOID, LPCWSTR);
        BOOLEAN(WINAPI* close)(HANDLE, ULONG);
    };

private:
    Functions m_functions = {};
    HANDLE m_boundary = nullptr;
    HANDLE m_namespace = nullptr;
    DWORD m_error = 0;
};

}  // namespace qb480
