#include "windows/AuditLog.h"

#include <windows.h>
#include <sddl.h>

#include <memory>
#include <vector>

#include "AuditRecord.h"
#include "MessageBox.h"
#include "qb480version.h"
#include "windows/AdminRights.h"
#include "windows/SystemText.h"

namespace qb480 {

namespace {

CAuditScope* g_scope = nullptr;
std::string g_reason;
int g_missing = 0;
int g_said = 0;
bool g_parentTrusted = false;

// Wide texts live in vectors: std::wstring would bring the C++ library's
// whole wide-string instantiation into every program.
using WideText = std::vector<WCHAR>;  // zero-terminated

std::string Utf8Of(const WCHAR* wide, int length)
{
    if (length <= 0)
        return std::string();
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide, length, nullptr, 0, nullptr, nullptr);
    std::string utf8(size > 0 ? size : 0, '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, wide, length, utf8.data(), size, nullptr, nullptr);
    return utf8;
}

std::string Utf8Of(const WCHAR* wide) { return Utf8Of(wide, lstrlenW(wide)); }

WideText WideOf(const std::string& text, UINT codePage)
{
    const int length =
        text.empty() ? 0 : MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    WideText wide(length > 0 ? length + 1 : 1, L'\0');
    if (length > 0)
        MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

std::string Utf8OfAnsi(const std::string& text) { return Utf8Of(WideOf(text, CP_ACP).data()); }
std::optional<std::string> Utf8OfAnsi(const std::optional<std::string>& text)
{
    return text ? std::optional<std::string>(Utf8OfAnsi(*text)) : std::nullopt;
}

// The process's user, from its token: the SID as bytes and as text, and
// "DOMAIN\name".
struct Account {
    std::vector<BYTE> sid;
    std::string sidText;
    std::string name;
};

std::string SidText(PSID sid)
{
    LPWSTR text = nullptr;
    if (!ConvertSidToStringSidW(sid, &text))
        return std::string();
    const std::string utf8 = Utf8Of(text);
    LocalFree(text);
    return utf8;
}

std::string AccountName(PSID sid)
{
    WCHAR name[256] = {}, domain[256] = {};
    DWORD nameLength = 256, domainLength = 256;
    SID_NAME_USE use;
    if (!LookupAccountSidW(nullptr, sid, name, &nameLength, domain, &domainLength, &use))
        return std::string();
    return domainLength ? Utf8Of(domain) + "\\" + Utf8Of(name) : Utf8Of(name);
}

Account ProcessAccount()
{
    Account account;
    account.sid = ProcessUserSid();
    if (!account.sid.empty()) {
        account.sidText = SidText(account.sid.data());
        account.name = AccountName(account.sid.data());
    }
    return account;
}

std::string Variable(const char* name)
{
    const WideText wideName = WideOf(name, CP_ACP);
    const DWORD size = GetEnvironmentVariableW(wideName.data(), nullptr, 0);
    if (!size)
        return std::string();
    WideText value(size, L'\0');
    const DWORD length = GetEnvironmentVariableW(wideName.data(), value.data(), size);
    return length < size ? Utf8Of(value.data(), static_cast<int>(length)) : std::string();
}

// Only the installer's service starts a program as SYSTEM on a user's
// behalf, and only an administrator's set-up lends its lock; anyone else's
// environment names no one but themselves.
void TakeInitiator(const Account& account, audit::Record& record)
{
    record.initiatorSid = account.sidText;
    record.initiatorName = account.name;
    if (account.sidText != "S-1-5-18" && !g_parentTrusted)
        return;
    const std::string sid = Variable(kInitiatorSidVariable);
    PSID parsed = nullptr;
    if (sid.empty() || !ConvertStringSidToSidW(WideOf(sid, CP_UTF8).data(), &parsed))
        return;
    LocalFree(parsed);
    record.initiatorSid = sid;
    record.initiatorName = Variable(kInitiatorNameVariable);
}

// The file of the module that holds this code: the applet, not the
// Control Panel that loaded it.
std::string ProgramPath()
{
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&ProgramPath), &module);
    WideText path(32768, L'\0');
    const DWORD length = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
    return length < path.size() ? Utf8Of(path.data(), static_cast<int>(length)) : std::string();
}

// Who the process runs as and which module writes: neither changes while
// it runs, so they are read for its first record only.
struct Identity {
    bool read = false;
    Account account;
    std::string program;
};
Identity g_identity;

const Identity& ProcessIdentity()
{
    if (!g_identity.read) {
        g_identity.account = ProcessAccount();
        g_identity.program = ProgramPath();
        g_identity.read = true;
    }
    return g_identity;
}

// ERROR_SUCCESS when the record is in the log.
DWORD Report(const audit::Record& record, const Account& account)
{
    std::vector<WideText> strings;
    for (const std::string& text : audit::InsertionStrings(record))
        strings.push_back(WideOf(text, CP_UTF8));
    std::vector<LPCWSTR> pointers;
    for (const WideText& text : strings)
        pointers.push_back(text.data());
    const WideText source = WideOf(audit::kSourceName, CP_ACP);
    const HANDLE log = RegisterEventSourceW(nullptr, source.data());
    if (!log)
        return GetLastError();
    const PSID user = account.sid.empty() ? nullptr : const_cast<BYTE*>(account.sid.data());
    const BOOL written =
        ReportEventW(log, static_cast<WORD>(record.event.type), static_cast<WORD>(record.event.category),
                     record.event.id, user, static_cast<WORD>(pointers.size()), 0, pointers.data(), nullptr);
    const DWORD error = written ? ERROR_SUCCESS : GetLastError();
    DeregisterEventSource(log);
    return written ? ERROR_SUCCESS : (error ? error : ERROR_WRITE_FAULT);
}

}  // namespace

CAuditScope::CAuditScope(std::string means, std::string sha256)
    : m_means(std::move(means)), m_sha256(std::move(sha256)), m_outer(g_scope)
{
    g_scope = this;
}

CAuditScope::~CAuditScope() { g_scope = m_outer; }

CAuditScope* CAuditScope::Current() { return g_scope; }

void SetAuditReason(const std::string& reason) { g_reason = reason; }

void TrustInitiatorOfParent() { g_parentTrusted = true; }

void RecordAudit(const audit::Event& event, const std::string& subject, const std::optional<std::string>& oldValue,
                 const std::optional<std::string>& newValue, const std::string& outcome)
{
    const Account& account = ProcessIdentity().account;
    audit::Record record;
    record.event = event;
    record.subject = Utf8OfAnsi(subject);
    record.oldValue = Utf8OfAnsi(oldValue);
    record.newValue = Utf8OfAnsi(newValue);
    record.outcome = Utf8OfAnsi(outcome);
    record.accountSid = account.sidText;
    record.accountName = account.name;
    TakeInitiator(account, record);
    record.means = g_scope ? Utf8OfAnsi(g_scope->Means()) : std::string();
    record.sha256 = g_scope ? g_scope->Sha256() : std::string();
    record.program = ProcessIdentity().program;
    record.version = QB480_VERSION_TEXT;
    record.processId = GetCurrentProcessId();
    record.reason = Utf8OfAnsi(g_reason);
    const DWORD error = Report(record, account);
    if (error == ERROR_SUCCESS)
        return;
    ++g_missing;
    if (g_scope && !g_scope->FirstMiss())
        return;
    ++g_said;
    fw::AppMessageBox((kRecordMissing + SystemErrorText(error) + ".").c_str());
}

void RecordSetting(const std::string& setting, const std::optional<std::string>& oldValue,
                   const std::optional<std::string>& newValue, bool written, const std::string& failure)
{
    if (oldValue == newValue)
        return;  // nothing changes, whether the write succeeded or not
    if (written)
        RecordAudit(audit::kSettingChanged, setting, oldValue, newValue, "changed");
    else
        RecordAudit(audit::kSettingFailed, setting, oldValue, newValue, "failed: " + failure);
}

void RecordRefusedSetting(const std::string& setting, const std::optional<std::string>& oldValue,
                          const std::optional<std::string>& newValue, const std::string& why)
{
    if (oldValue != newValue)
        RecordAudit(audit::kSettingRefused, setting, oldValue, newValue, "refused: " + why);
}

int MissingAuditRecords() { return g_missing; }
int AuditFailuresSaid() { return g_said; }

}  // namespace qb480
