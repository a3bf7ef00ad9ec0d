#pragma once
// A Control Panel applet: every message of the Control Panel becomes one
// virtual operation with a neutral default; the board's applet overrides the
// answers that matter.
#include <windows.h>
#include <cpl.h>

namespace qb480 {

class CApplet {
public:
    CApplet();  // becomes the module's current applet
    virtual ~CApplet() = default;
    CApplet(const CApplet&) = delete;
    CApplet& operator=(const CApplet&) = delete;

    virtual LONG OnDblclk(HWND hwndCPl, LPARAM lParam1, LPARAM lParam2);
    virtual LONG OnExit();
    virtual LONG OnGetCount();
    virtual LONG OnInit();
    virtual LONG OnNewInquire(LPARAM lParam1, NEWCPLINFOA* info);
    virtual LONG OnSelect(LPARAM lParam1, LPARAM lParam2);
    virtual LONG OnStop(LPARAM lParam1, LPARAM lParam2);

    static CApplet* Current();

protected:
    static void FillInquiry(NEWCPLINFOA& info, UINT iconId, const char* name, const char* description);
};

class CBoardApplet : public CApplet {
public:
    ~CBoardApplet() override = default;
    LONG OnDblclk(HWND hwndCPl, LPARAM lParam1, LPARAM lParam2) override;
    LONG OnNewInquire(LPARAM lParam1, NEWCPLINFOA* info) override;
};

}  // namespace qb480
