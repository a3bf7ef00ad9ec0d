#include "MessageSink.h"

#include "MessageBox.h"

namespace qb480 {

namespace {

class CMessageBoxSink final : public CMessageSink {
public:
    void Report(const char* text) override { fw::AppMessageBox(text); }
};

CMessageBoxSink g_messageBox;

}  // namespace

CMessageSink& MessageBoxSink() { return g_messageBox; }

}  // namespace qb480
