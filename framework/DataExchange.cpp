#include "DataExchange.h"

#include "Dialog.h"
#include "EntryText.h"
#include "MessageBox.h"

namespace fw {

std::string CDataExchange::ControlText(int id, std::size_t limit) const
{
    const HWND control = m_dialog.GetDlgItem(id);
    std::size_t length = static_cast<std::size_t>(GetWindowTextLengthA(control));
    if (length > limit)
        length = limit;
    std::string text(length + 1, '\0');
    const int got = GetWindowTextA(control, text.data(), static_cast<int>(text.size()));
    text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return text;
}

void CDataExchange::SetControlText(int id, const std::string& text) const
{
    SetWindowTextA(m_dialog.GetDlgItem(id), text.c_str());
}

void CDataExchange::Fail(int id, const std::string& message)
{
    m_failed = true;
    EntryRefusedBox(message.c_str());
    const HWND control = m_dialog.GetDlgItem(id);
    SetFocus(control);
    SendMessageA(control, EM_SETSEL, 0, -1);
}

void CDataExchange::Text(int id, std::string& value)
{
    if (Skip())
        return;
    if (m_bSaveAndValidate)
        value = ControlText(id, std::string::npos);
    else
        SetControlText(id, value);
}

std::optional<std::uint32_t> CDataExchange::Number(int id, std::uint32_t shown, std::uint32_t largest,
                                                    const char* refusal)
{
    if (Skip())
        return std::nullopt;
    if (!m_bSaveAndValidate) {
        SetControlText(id, DecimalText(shown));
        return std::nullopt;
    }
    const auto number = ParseUnsignedEntry(ControlText(id, kNumberEntryLength));
    if (!number || *number > largest) {
        Fail(id, refusal);
        return std::nullopt;
    }
    return number;
}

void CDataExchange::Text(int id, std::uint32_t& value)
{
    if (const auto number = Number(id, value, UINT32_MAX, kPositiveIntegerMessage))
        value = *number;
}

void CDataExchange::Text(int id, std::uint8_t& value)
{
    if (const auto number = Number(id, value, 255, kByteMessage))
        value = static_cast<std::uint8_t>(*number);
}

void CDataExchange::MinMax(int id, std::uint8_t value, std::uint8_t low, std::uint8_t high)
{
    if (Skip() || !m_bSaveAndValidate)
        return;
    if (value < low || value > high)
        Fail(id, RangeMessage(low, high));
}

void CDataExchange::Check(int id, int& value)
{
    if (Skip())
        return;
    const HWND control = m_dialog.GetDlgItem(id);
    if (m_bSaveAndValidate)
        value = SendMessageA(control, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
    else
        SendMessageA(control, BM_SETCHECK, value ? BST_CHECKED : BST_UNCHECKED, 0);
}

}  // namespace fw
