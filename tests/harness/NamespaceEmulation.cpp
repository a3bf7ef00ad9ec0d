#include "NamespaceEmulation.h"

#include "ImportFaults.h"

#include <sddl.h>

#include <atomic>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace harness {
namespace {

struct Boundary {
    std::vector<std::vector<BYTE>> sids;
};

std::atomic<DWORD> g_failure;

// The namespaces this process holds: handle → "alias|prefix of its
// objects' names", for CreateMutexA; and those it created, with what keeps
// them openable.
std::mutex g_namespacesLock;
std::map<HANDLE, std::string> g_namespaces;
std::map<HANDLE, HANDLE> g_created;

std::string Narrow(LPCWSTR text)
{
    std::string narrow;
    for (; text && *text; ++text)
        narrow += static_cast<char>(*text < 0x80 ? *text : '?');
    return narrow;
}

std::string SidText(const std::vector<BYTE>& sid)
{
    char* text = nullptr;
    if (!ConvertSidToStringSidA(const_cast<BYTE*>(sid.data()), &text))
        return "?";
    const std::string result = text;
    LocalFree(text);
    return result;
}

std::string BoundaryText(const Boundary* boundary)
{
    std::string text;
    for (const auto& sid : boundary->sids)
        text += (text.empty() ? "" : ",") + SidText(sid);
    return text;
}

std::string SecurityText(LPSECURITY_ATTRIBUTES security)
{
    char* text = nullptr;
    if (!security || !security->lpSecurityDescriptor ||
        !ConvertSecurityDescriptorToStringSecurityDescriptorA(security->lpSecurityDescriptor, SDDL_REVISION_1,
                                                              OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                                              &text, nullptr))
        return "(none)";
    const std::string result = text;
    LocalFree(text);
    return result;
}

// The namespace, and beside it what keeps it openable: an event only its
// creator holds, gone once the creator closes the namespace.
std::string NamespaceName(const Boundary* boundary, LPCWSTR alias)
{
    return "Global\\QB480Test.Namespace." + Narrow(alias) + "." + BoundaryText(boundary);
}

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }
std::wstring EventName(const Boundary* boundary, LPCWSTR alias) { return Wide(NamespaceName(boundary, alias)); }
std::wstring OpenableName(const Boundary* boundary, LPCWSTR alias)
{
    return Wide(NamespaceName(boundary, alias) + ".Openable");
}

bool WithinBoundary(const Boundary* boundary)
{
    for (const auto& sid : boundary->sids) {
        BOOL member = FALSE;
        if (!CheckTokenMembership(nullptr, const_cast<BYTE*>(sid.data()), &member) || !member)
            return false;
    }
    return true;
}

HANDLE Hold(HANDLE event, const Boundary* boundary, LPCWSTR alias, HANDLE openable = nullptr)
{
    if (event) {
        const std::lock_guard<std::mutex> guard(g_namespacesLock);
        g_namespaces[event] = Narrow(alias) + "|" + NamespaceName(boundary, alias);
        if (openable)
            g_created[event] = openable;
    }
    return event;
}

HANDLE WINAPI CreateBoundaryDescriptorW(LPCWSTR, ULONG) { return new Boundary; }

BOOL WINAPI AddSIDToBoundaryDescriptor(HANDLE* boundary, PSID sid)
{
    const auto* bytes = static_cast<const BYTE*>(sid);
    static_cast<Boundary*>(*boundary)->sids.emplace_back(bytes, bytes + GetLengthSid(sid));
    return TRUE;
}

VOID WINAPI DeleteBoundaryDescriptor(HANDLE boundary) { delete static_cast<Boundary*>(boundary); }

// CreatePrivateNamespace's page lists no error codes: ERROR_ACCESS_DENIED
// outside the boundary, ERROR_INVALID_PARAMETER for a boundary without a
// SID ("must have at least one", CreateBoundaryDescriptor's Remarks) and
// ERROR_ALREADY_EXISTS for a namespace of that name and boundary are the
// emulation's own choices. The namespace keeps the descriptor it is given:
// an open the descriptor refuses fails.
HANDLE WINAPI CreatePrivateNamespaceW(LPSECURITY_ATTRIBUTES security, LPVOID boundaryHandle, LPCWSTR alias)
{
    const auto* boundary = static_cast<const Boundary*>(boundaryHandle);
    RecordCall("CreatePrivateNamespaceW", "boundary", BoundaryText(boundary).c_str());
    RecordCall("CreatePrivateNamespaceW", "security", SecurityText(security).c_str());
    if (const DWORD failure = g_failure) {
        SetLastError(failure);
        return nullptr;
    }
    if (boundary->sids.empty() || !WithinBoundary(boundary)) {
        SetLastError(boundary->sids.empty() ? ERROR_INVALID_PARAMETER : ERROR_ACCESS_DENIED);
        return nullptr;
    }
    const HANDLE event = CreateEventW(security, TRUE, FALSE, EventName(boundary, alias).c_str());
    if (event && GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(event);
        SetLastError(ERROR_ALREADY_EXISTS);
        return nullptr;
    }
    const HANDLE openable = event ? CreateEventW(security, TRUE, FALSE, OpenableName(boundary, alias).c_str()) : nullptr;
    return Hold(event, boundary, alias, openable);
}

// "After the namespace handle is closed, subsequent calls to
// OpenPrivateNamespace fail" (Object Namespaces): it opens only while its
// creator holds it, and only as its descriptor allows.
HANDLE WINAPI OpenPrivateNamespaceW(LPVOID boundaryHandle, LPCWSTR alias)
{
    const auto* boundary = static_cast<const Boundary*>(boundaryHandle);
    const HANDLE openable = OpenEventW(SYNCHRONIZE, FALSE, OpenableName(boundary, alias).c_str());
    if (!openable)
        return nullptr;
    CloseHandle(openable);
    return Hold(OpenEventW(SYNCHRONIZE, FALSE, EventName(boundary, alias).c_str()), boundary, alias);
}

BOOLEAN WINAPI ClosePrivateNamespace(HANDLE handle, ULONG)
{
    {
        const std::lock_guard<std::mutex> guard(g_namespacesLock);
        if (!g_namespaces.erase(handle)) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        const auto created = g_created.find(handle);
        if (created != g_created.end()) {
            CloseHandle(created->second);
            g_created.erase(created);
        }
    }
    return CloseHandle(handle);
}

// "alias\\name" in a namespace this process holds, as the global name that
// stands for it (its namespace's, boundary and all); the name itself otherwise.
std::string MappedName(const std::string& name)
{
    const std::lock_guard<std::mutex> guard(g_namespacesLock);
    for (const auto& [handle, held] : g_namespaces) {
        const std::string alias = held.substr(0, held.find('|'));
        if (name.compare(0, alias.size() + 1, alias + "\\") == 0)
            return held.substr(held.find('|') + 1) + "." + name.substr(alias.size() + 1);
    }
    return name;
}

struct Emulated {
    const char* name;
    void* function;
};
const Emulated kEmulated[] = {
    {"CreateBoundaryDescriptorW", reinterpret_cast<void*>(CreateBoundaryDescriptorW)},
    {"AddSIDToBoundaryDescriptor", reinterpret_cast<void*>(AddSIDToBoundaryDescriptor)},
    {"DeleteBoundaryDescriptor", reinterpret_cast<void*>(DeleteBoundaryDescriptor)},
    {"CreatePrivateNamespaceW", reinterpret_cast<void*>(CreatePrivateNamespaceW)},
    {"OpenPrivateNamespaceW", reinterpret_cast<void*>(OpenPrivateNamespaceW)},
    {"ClosePrivateNamespace", reinterpret_cast<void*>(ClosePrivateNamespace)},
};

}  // namespace

void SetNamespaceFailure(DWORD error) { g_failure = error; }

FARPROC WINAPI EmulatedGetProcAddress(HMODULE module, LPCSTR name)
{
    if (!IS_INTRESOURCE(name) && module == GetModuleHandleA("kernel32.dll"))
        for (const Emulated& emulated : kEmulated)
            if (std::strcmp(name, emulated.name) == 0)
                return reinterpret_cast<FARPROC>(emulated.function);
    // This module's own imports are never patched.
    return GetProcAddress(module, name);
}

HANDLE WINAPI RecordingCreateMutexA(LPSECURITY_ATTRIBUTES security, BOOL initialOwner, LPCSTR name)
{
    if (name) {
        const std::string before = RecordedText("CreateMutexA", "names").value_or("");
        RecordCall("CreateMutexA", "names", (before.empty() ? name : before + "|" + name).c_str());
    }
    const std::string mapped = name ? MappedName(name) : std::string();
    return CreateMutexA(security, initialOwner, name ? mapped.c_str() : nullptr);
}

}  // namespace harness
