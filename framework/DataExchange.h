#pragma once
// Moves a dialog's fields to its controls and back. One exchange function
// per dialog lists each control with its field once; the same list serves
// both directions. When reading, the first refused entry shows its message,
// puts the focus into the field with its text selected, and every later
// exchange of the pass is skipped.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

namespace fw {

class CDialog;

class CDataExchange {
public:
    CDataExchange(CDialog& dialog, bool saveAndValidate) : m_dialog(dialog), m_bSaveAndValidate(saveAndValidate) {}

    bool Failed() const { return m_failed; }
    bool Saving() const { return m_bSaveAndValidate; }

    // The text as it stands, no limit and no check.
    void Text(int id, std::string& value);
    // An unsigned decimal number; refused with "Please enter a positive integer.".
    void Text(int id, std::uint32_t& value);
    // 0..255; refused with "Please enter an integer between 0 and 255.".
    void Text(int id, std::uint8_t& value);
    // After Text: the value within its bounds, refused with the range message.
    void MinMax(int id, std::uint8_t value, std::uint8_t low, std::uint8_t high);
    // Checked (1) or not (0).
    void Check(int id, int& value);

private:
    bool Skip() const { return m_failed; }
    std::string ControlText(int id, std::size_t limit) const;
    void SetControlText(int id, const std::string& text) const;
    void Fail(int id, const std::string& message);
    // Shows shown (nothing returned), or reads the field as a number up to
    // largest, refusing anything else with the message.
    std::optional<std::uint32_t> Number(int id, std::uint32_t shown, std::uint32_t largest, const char* refusal);

    CDialog& m_dialog;
    bool m_bSaveAndValidate;
    bool m_failed = false;
};

}  // namespace fw
