#pragma once
// The settings file's section and key names: the dialogs' own titles and
// field labels, so that a person finds in the file what the applet shows.
namespace qb480::settings {

inline constexpr char kBoardSection[] = "Board Settings";
inline constexpr char kNumberingSection[] = "Port Numbering";
inline constexpr char kPortSection[] = "Port";  // followed by a blank and the port's name

inline constexpr char kMemoryKey[] = "Memory Address";
inline constexpr char kPortKey[] = "Port Address";
inline constexpr char kIrqKey[] = "IRQ";
inline constexpr char kPrefixKey[] = "Port Name Prefix";
inline constexpr char kFirstPortKey[] = "Start from this index";
inline constexpr char kRxTimeoutKey[] = "Rx Timeout";
inline constexpr char kRxThresholdKey[] = "Rx Threshold";
inline constexpr char kTxLoadKey[] = "Tx Load";
inline constexpr char kMultidropKey[] = "RS-485 Multidrop Mode Enabled";
inline constexpr char kHalfDuplexKey[] = "RS-485 Half Duplex Mode Enabled";

inline constexpr char kNone[] = "none";  // no index chosen
inline constexpr char kYes[] = "yes";
inline constexpr char kNo[] = "no";

}  // namespace qb480::settings
