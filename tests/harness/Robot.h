#pragma once
// Drives dialogs as an administrator would: dialogs of this process run by
// another thread (the robot runs on a std::thread while the test's main
// thread sits in DialogBoxParam or CPlApplet), and dialogs of another
// process (pass its pid). Nothing here sends a message whose handler might
// open a modal window: clicks and keys are posted, and reads use
// SendMessageTimeout. Helpers that cannot do what they were asked report a
// GoogleTest failure at the caller's line and return an empty result.
#include "CallSite.h"

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace harness {

constexpr int kRobotTimeoutMs = 5000;

// Texts seen in order: boxes, items, captions.
using Texts = std::vector<std::string>;

// Polls until the predicate holds; false after timeoutMs.
bool WaitUntil(const std::function<bool()>& predicate, int timeoutMs = kRobotTimeoutMs);

// Runs a modal dialog of this process on this thread (runDialog, which
// returns its result), as the Control Panel's thread runs the applet's,
// while drive gets the dialog, once it shows, on a robot thread. What drive
// leaves open is closed, boxes with OK and the dialog with Cancel, so that a
// failed step cannot hang the test.
INT_PTR RunWithRobot(const std::string& caption, const std::function<INT_PTR()>& runDialog,
                     const std::function<void(HWND dlg)>& drive);

// A visible top-level dialog (#32770) of process pid with that caption that
// is not a message box. Reports a failure naming the windows pid shows when
// none appears in time, and returns nullptr.
HWND WaitForDialog(const std::string& caption, DWORD pid, int timeoutMs = kRobotTimeoutMs, CallSite where = {});
// True once the window is destroyed or hidden.
bool WaitGone(HWND window, int timeoutMs = kRobotTimeoutMs);
// Returns once the window's thread takes sent messages again: the step it
// was running has finished, or shows a box. Messages posted to it before may
// still wait. False when the thread does not answer within timeoutMs; true
// at once when the window is gone.
bool Settle(HWND window, int timeoutMs = kRobotTimeoutMs);
// The first dialog of process pid with that caption, visible or not (one
// whose opening is still under way), that is not a message box; nullptr
// when there is none (no failure).
HWND FindDialog(const std::string& caption, DWORD pid);
// The visible top-level dialogs and message boxes (#32770) of pid.
std::vector<HWND> VisibleDialogs(DWORD pid);
// Every top-level and message-only window of pid, visible or not.
std::vector<HWND> WindowsOf(DWORD pid);
// Their captions, for a failure message.
std::string DescribeWindows(DWORD pid);

// A program that should end by itself, watched until it does: its exit
// code, absent (and reported at the caller's line, named by what) when it
// still runs after timeoutMs, and the caption of every window it showed
// meanwhile, each once, in the order seen. Hidden ones are not counted: a
// console program keeps one to hear of the session's end, and Wine gives
// each thread with a window an IME window.
class CChild;
struct WatchedRun {
    std::optional<DWORD> code;
    std::vector<std::string> windows;
};
WatchedRun WatchUntilExit(const CChild& child, const std::string& what, int timeoutMs = 15000, CallSite where = {});

enum class MessageBoxIcon { None, Exclamation, Information, Error, Question, Other };

struct MessageBoxSeen {
    std::string caption, text;
    bool exclamation = false;
    MessageBoxIcon icon = MessageBoxIcon::None;
    std::vector<std::string> buttons;  // visible buttons, left to right
};

// Wine builds a message box as a #32770 with an SS_ICON static 1088 and the
// text in static 0xFFFF; a dialog has not both.
bool IsMessageBox(HWND window);
// The next message box of pid, or nullptr after timeoutMs (no failure).
HWND FindMessageBox(DWORD pid, int timeoutMs = 0);
MessageBoxSeen ReadMessageBox(HWND box, CallSite where = {});
// Posts the button's command and waits until the box is gone, so that the
// next search cannot find it again.
void DismissMessageBox(HWND box, int buttonId = IDOK, CallSite where = {});
// Waits for a box of pid, records it, dismisses it with IDOK. Reports a
// failure and returns nothing when none appears in time.
std::optional<MessageBoxSeen> TakeMessageBox(DWORD pid, int timeoutMs = kRobotTimeoutMs, CallSite where = {});
// True when no box of pid appears within waitMs. Otherwise reports the box
// it saw and leaves it open.
bool NoMessageBox(DWORD pid, int waitMs, CallSite where = {});
// The form in which the deliverables report every failure: their caption,
// the exclamation icon and one OK button. Reports another form.
bool ExpectApplicationBox(const MessageBoxSeen& seen, const std::string& caption, CallSite where = {});
// TakeMessageBox and that check: the box's text, or empty when none came.
std::string TakeApplicationBox(DWORD pid, const std::string& caption, int timeoutMs = kRobotTimeoutMs,
                               CallSite where = {});

void SetText(HWND dlg, int id, const std::string& text, CallSite where = {});
std::string GetText(HWND dlg, int id, CallSite where = {});
// Posts BM_CLICK, so the button takes the focus as under a mouse click; a
// disabled control is reported and not clicked.
void Click(HWND dlg, int id, CallSite where = {});
// Clicks only when the state must change (the dialog gets BN_CLICKED) and
// waits until the box shows the new state.
void SetCheck(HWND dlg, int id, bool checked, CallSite where = {});
bool IsChecked(HWND dlg, int id, CallSite where = {});
// Selects the item and posts CBN_SELCHANGE to the dialog, as a user's
// choice would.
void ChooseComboItem(HWND dlg, int id, int index, CallSite where = {});
std::vector<std::string> ComboItems(HWND dlg, int id, CallSite where = {});
// CB_GETCURSEL: -1 when nothing is selected.
int ComboSelection(HWND dlg, int id, CallSite where = {});
// Key presses posted to the control that has the focus, so they pass
// through the modal loop's IsDialogMessage: Enter presses the default
// button, Escape sends IDCANCEL.
void PressEnter(HWND dlg, CallSite where = {});
void PressEscape(HWND dlg, CallSite where = {});
// Puts the focus into the control as the Tab key would, and waits until it
// is there.
void FocusControl(HWND dlg, int id, CallSite where = {});
// Id of the dialog's control that holds the focus (the control itself when
// the focus is in one of its children, as in a combo box's edit), or -1 when
// the focus is elsewhere.
int FocusedControlId(HWND dlg);
// True when window is the active window of the thread that owns it (also
// across processes); a dialog that ended hands activation back to its owner.
bool IsActiveOnItsThread(HWND window);
// The window that owns a top-level window (GW_OWNER), or nullptr.
HWND OwnerOf(HWND window);
// EM_GETSEL: start and end of the selection.
std::pair<int, int> Selection(HWND dlg, int id, CallSite where = {});
bool IsEnabled(HWND dlg, int id, CallSite where = {});
bool IsVisible(HWND dlg, int id, CallSite where = {});
// Window text without sending a message: works while the window's thread is
// blocked.
std::string Caption(HWND window);

struct MenuItem {
    UINT id = 0;
    std::string text;  // empty for a separator
    bool separator = false;
};
std::vector<MenuItem> SystemMenu(HWND dlg, CallSite where = {});
// The entries' texts, separators as empty strings.
std::vector<std::string> SystemMenuItems(HWND dlg, CallSite where = {});
void ChooseSystemMenuCommand(HWND dlg, UINT command);

// The common Open dialog of process pid (caption "Open"): types name into
// the file name box (1148), presses Open and waits until the dialog closes.
void ChooseFileInOpenDialog(DWORD pid, const std::string& name, CallSite where = {});
void CancelOpenDialog(DWORD pid, CallSite where = {});
// The same in two steps, for a look in between: the Open dialog with name
// typed (nullptr when it did not come), then its Open button pressed.
HWND TypeFileName(DWORD pid, const std::string& name, int timeoutMs = kRobotTimeoutMs, CallSite where = {});
void PressOpen(HWND open, CallSite where = {});

}  // namespace harness
