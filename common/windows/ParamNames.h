#pragma once
// Every registry key and value name the deliverables share with each other
// and with the kernel drivers, spelled once. Paths are relative to
// HKEY_LOCAL_MACHINE; key names are case-insensitive, so one spelling of the
// driver's name serves every access.

namespace qb480 {

// The board driver's parameter key and the special-modes subkey below it.
inline constexpr const char kDriverParamKey[] = "SYSTEM\\CurrentControlSet\\Services\\VDXQB480\\Parameters";
inline constexpr const char kSpecialModesKey[] =
    "SYSTEM\\CurrentControlSet\\Services\\vdxqb480\\Parameters\\SpecialModes";

// The helper service's parameter key, read only by the helper kernel driver.
inline constexpr const char kLoaderParamKey[] = "SYSTEM\\CurrentControlSet\\Services\\loader\\Parameters";

// The System event log and the driver's source entry below it.
inline constexpr const char kEventLogSystemKey[] = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\System";
inline constexpr const char kEventLogSourceName[] = "vdxqb480";

// Values of the driver parameter key.
inline constexpr const char kValueMemSeg[] = "MEM_SEG";
inline constexpr const char kValuePort[] = "PORT";
inline constexpr const char kValueIrq[] = "IRQ";
inline constexpr const char kValuePortNamePrefix[] = "PortNamePrefix";
inline constexpr const char kValueFirstPort[] = "FirstPort";
inline constexpr const char kValueTotalNumberOfPorts[] = "TotalNumberOfPorts";
inline constexpr const char kValuePortsStartingAt[] = "PortsStartingAt";
inline constexpr const char kValueDriverVersion[] = "DriverVersion";
inline constexpr const char kValueFirmwareVersion[] = "FirmwareVersion";
// The set-up's own record of the COM numbers it claimed for the board in
// Windows' COM port database: it gives back only these. Kept with the
// service it belongs to, under HKLM\SYSTEM, which no 32-bit view redirects.
inline constexpr const char kValueClaimedComNumbers[] = "ClaimedComNumbers";

// Values of the helper service parameter key (MEM_SEG and PORT as above).
inline constexpr const char kValueFirmwareFile[] = "FirmwareFile";

// Values of the event-log source entry.
inline constexpr const char kValueSources[] = "Sources";
inline constexpr const char kValueEventMessageFile[] = "EventMessageFile";
inline constexpr const char kValueTypesSupported[] = "TypesSupported";
inline constexpr const char kEventMessageFiles[] =
    "%SystemRoot%\\System32\\IOLOGMSG.DLL;%SystemRoot%\\System32\\Drivers\\vdxqb480.sys";
inline constexpr unsigned long kEventTypesSupported = 7;

// The Application log, where the set-up's own source keeps its audit trail
// (AuditEvents.h), and that source's values besides the ones above.
inline constexpr const char kEventLogApplicationKey[] =
    "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application";
inline constexpr const char kValueCategoryMessageFile[] = "CategoryMessageFile";
inline constexpr const char kValueCategoryCount[] = "CategoryCount";
inline constexpr const char kAuditMessageFile[] = "%SystemRoot%\\System32\\qb480msg.dll";

// Service names.
inline constexpr const char kDriverServiceName[] = "VDXQB480";
inline constexpr const char kLoaderServiceName[] = "loader";

}  // namespace qb480
