#include "FirmwareAudit.h"

#include <windows.h>

#include "EntryText.h"
#include "Sha256.h"
#include "UniqueHandle.h"

namespace qb480 {

std::string FileSha256(const std::string& path)
{
    const fw::UniqueFileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return std::string();
    CSha256 digest;
    char buffer[16384];
    DWORD read = 0;
    BOOL ok;
    while ((ok = ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr)) && read)
        digest.Add(buffer, read);
    return ok ? digest.HexDigest() : std::string();
}

CFirmwareAudit::CFirmwareAudit(const std::string& hexPath, const std::string& means)
    : m_scope(means, FileSha256(hexPath)), m_hexPath(hexPath)
{
}

void CFirmwareAudit::ImageWritten(const std::string& imagePath)
{
    m_image = imagePath;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (GetFileAttributesExA(imagePath.c_str(), GetFileExInfoStandard, &data))
        m_imageBytes = data.nFileSizeHigh ? std::string("4294967296 or more")
                                          : fw::DecimalText(static_cast<std::uint32_t>(data.nFileSizeLow));
}

void CFirmwareAudit::Loaded() { Record(audit::kFirmwareLoaded, "loaded"); }
void CFirmwareAudit::Refused(const std::string& why) { Record(audit::kFirmwareRefused, "refused: " + why); }
void CFirmwareAudit::Failed(const std::string& why) { Record(audit::kFirmwareFailed, "failed: " + why); }

void CFirmwareAudit::Record(const audit::Event& event, const std::string& outcome)
{
    if (m_hexPath.empty())
        return;  // the Open dialog was cancelled: no load was asked for
    RecordAudit(event, m_hexPath, m_image, m_imageBytes, outcome);
}

}  // namespace qb480
