#pragma once
// The audit trail: each change of the board's settings, firmware or driver,
// and each one refused or failed, written to the Application log under the
// set-up's own source (AuditEvents.h). A record that cannot be written
// leaves the change made and is said through fw::AppMessageBox, once per
// scope: the applet shows it in its box, the configurator's reporter counts
// it as a failed step.
#include <optional>
#include <string>

#include "AuditEvents.h"

namespace qb480 {

// How the changes made while it lives are made: the dialog, the command,
// the settings file (with the SHA-256 of its bytes). Scopes nest; the
// innermost one counts.
class CAuditScope {
public:
    explicit CAuditScope(std::string means, std::string sha256 = std::string());
    ~CAuditScope();
    CAuditScope(const CAuditScope&) = delete;
    CAuditScope& operator=(const CAuditScope&) = delete;

    const std::string& Means() const { return m_means; }
    const std::string& Sha256() const { return m_sha256; }
    // True the first time only: a scope says one missing record.
    bool FirstMiss() { return !m_missed && (m_missed = true); }

    // The innermost scope; null outside any.
    static CAuditScope* Current();

private:
    std::string m_means;
    std::string m_sha256;
    bool m_missed = false;
    CAuditScope* m_outer;
};

// The reason the run was given (/reason), for every record it writes.
void SetAuditReason(const std::string& reason);

// Writes one record. The texts are in the ANSI code page, as the registry
// and the command line give them; an absent value was not set.
void RecordAudit(const audit::Event& event, const std::string& subject, const std::optional<std::string>& oldValue,
                 const std::optional<std::string>& newValue, const std::string& outcome);

// A setting's write: changed when written, failed (with why) when not;
// nothing when the value does not change.
void RecordSetting(const std::string& setting, const std::optional<std::string>& oldValue,
                   const std::optional<std::string>& newValue, bool written, const std::string& failure);

// A change of a setting that was refused, and why; nothing when the value
// asked for is the one already there.
void RecordRefusedSetting(const std::string& setting, const std::optional<std::string>& oldValue,
                          const std::optional<std::string>& newValue, const std::string& why);

// The records of the process that could not be written, and how many
// times that was said (once per scope).
int MissingAuditRecords();
int AuditFailuresSaid();

// The line that says so.
inline constexpr char kRecordMissing[] = "The change is made, but its record is missing from the Windows event log: ";

// A set-up that lent this process its lock started it on behalf of the
// user its environment names: that user is recorded as the initiator.
void TrustInitiatorOfParent();

// The process's environment names the user an installation runs for; a
// program running as SYSTEM, or lent the set-up lock, takes it.
inline constexpr char kInitiatorSidVariable[] = "QB480_INITIATOR_SID";
inline constexpr char kInitiatorNameVariable[] = "QB480_INITIATOR_NAME";

}  // namespace qb480
