#pragma once
// qb480msg.dll, the message table of the set-up's event source, travels in
// qb480.cpl and qb480cfg.exe as their RCDATA resource 480
// (messages/CMakeLists.txt), so that a machine set up without a package
// gets it too.
namespace qb480 {

inline constexpr int kMessageFileResource = 480;

}  // namespace qb480
