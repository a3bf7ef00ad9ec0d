#include "Elevation.h"

#include <windows.h>
#include <shellapi.h>

#include <optional>
#include <string>

#include "windows/AdminRights.h"
#include "App.h"
#include "Dialog.h"
#include "MessageBox.h"
#include "windows/SystemFolder.h"
#include "UniqueHandle.h"

namespace qb480 {

namespace {

bool g_startedWithWord = false;

constexpr char kNeedsRights[] = "Administrator rights are needed to configure the QB480 board.";

// Absent when the system knows no elevation.
std::optional<bool> TokenIsElevated()
{
    fw::UniqueKernelHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put()))
        return std::nullopt;
    TOKEN_ELEVATION elevation = {};
    DWORD size = 0;
    if (!GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &size))
        return std::nullopt;
    return elevation.TokenIsElevated != 0;
}

// rundll32 of this module's own kind opens it as the Control Panel would,
// handing it the word.
bool AskForElevatedInstance()
{
    const auto systemDirectory = OwnKindSystemDirectory();
    const std::string module = fw::ModulePath();
    if (!systemDirectory || module.empty())
        return false;
    const std::string program = *systemDirectory + "\\rundll32.exe";
    const std::string parameters =
        "shell32.dll,Control_RunDLL \"" + module + "\",@0," + kElevatedInstanceWord;
    SHELLEXECUTEINFOA request = {};
    request.cbSize = sizeof request;
    request.fMask = SEE_MASK_FLAG_NO_UI;  // one message of our own says it failed
    request.hwnd = fw::DefaultOwner();
    request.lpVerb = "runas";
    request.lpFile = program.c_str();
    request.lpParameters = parameters.c_str();
    request.nShow = SW_SHOWNORMAL;
    return ShellExecuteExA(&request) != FALSE;
}

template <typename Char>
bool IsWhiteSpace(Char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// The word is plain ASCII, so folding A to Z is all the letter case there is.
template <typename Char>
bool IsTheWord(const Char* text)
{
    if (!text)
        return false;
    while (IsWhiteSpace(*text))
        ++text;
    for (const char* word = kElevatedInstanceWord; *word; ++word, ++text) {
        const Char lower = *text >= 'A' && *text <= 'Z' ? static_cast<Char>(*text - 'A' + 'a') : *text;
        if (lower != static_cast<Char>(*word))
            return false;
    }
    while (IsWhiteSpace(*text))
        ++text;
    return *text == 0;
}

template <typename Char>
bool NoteWord(const Char* text)
{
    if (!IsTheWord(text))
        return false;
    g_startedWithWord = true;
    return true;
}

}  // namespace

bool NoteStartParameters(const char* text) { return NoteWord(text); }

bool NoteStartParameters(const wchar_t* text) { return NoteWord(text); }

bool ConfigureInThisInstance()
{
    const auto elevated = TokenIsElevated();
    if (elevated && !*elevated && !g_startedWithWord) {
        if (!AskForElevatedInstance())
            fw::AppMessageBox(kNeedsRights);
        return false;
    }
    // A standard user, or an instance a declined elevation left limited:
    // Windows would refuse the manager, the service and the keys, each with
    // a message that names the wrong cause.
    if (!HoldsAdministratorRights()) {
        fw::AppMessageBox(kNeedsRights);
        return false;
    }
    return true;
}

}  // namespace qb480
