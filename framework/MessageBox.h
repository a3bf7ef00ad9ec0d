#pragma once
// Every failure the deliverables report goes through here: a modal box with
// the fixed text, one OK button and the exclamation icon, captioned with the
// module's name. Returns when the operator has closed it.
namespace fw {

void AppMessageBox(const char* text);

}  // namespace fw
