#pragma once
#include "App.h"
#include "Applet.h"

namespace qb480 {

// The module's application object: it lives as long as the module is loaded
// and holds the module's one applet.
class CAppletApp : public fw::CWinApp {
public:
    CBoardApplet m_applet;
};

}  // namespace qb480
