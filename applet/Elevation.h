#pragma once
// Since Windows Vista an administrator's Control Panel runs with limited
// rights, under which the driver service cannot be registered nor
// HKEY_LOCAL_MACHINE written. The applet's manifest asks the shell to start
// it elevated; a host that does not read it (an older Control Panel, a
// direct rundll32 call) leaves the applet to ask the system itself.
namespace qb480 {

// The word an instance started with administrator rights gets from
// Control_RunDLL, in CPL_STARTWPARMS.
inline constexpr char kElevatedInstanceWord[] = "elevated";

// The text of CPL_STARTWPARMSA or CPL_STARTWPARMSW (null: none): true when
// it is kElevatedInstanceWord, in any letter case and with white space
// around it. Such an instance never asks again, even if its token is still
// limited, so the request cannot loop.
bool NoteStartParameters(const char* text);
bool NoteStartParameters(const wchar_t* text);

// True when this instance opens its dialog. Unless the system knows no
// elevation (NT 4.0 to XP), the token is elevated, or the instance was
// started with the word, it asks the system to start the applet again with
// administrator rights and answers false, saying so first when that request
// fails or is declined. An instance that would open its dialog without
// holding the Administrators group says so and answers false. Nothing is
// registered or written either way.
bool ConfigureInThisInstance();

}  // namespace qb480
