#pragma once
// The audit trail's record of one firmware load: the HEX file with the
// SHA-256 of its bytes, the image and its size, and the load's result,
// written once the result is known.
#include <optional>
#include <string>

#include "windows/AuditLog.h"

namespace qb480 {

class CFirmwareAudit {
public:
    // means: how the file was chosen. No file (the Open dialog cancelled)
    // records nothing.
    CFirmwareAudit(const std::string& hexPath, const std::string& means);

    // The image the conversion wrote; its size is read from the file.
    void ImageWritten(const std::string& imagePath);
    void ImageNamed(const std::string& imagePath) { m_image = imagePath; }

    void Loaded();
    void Refused(const std::string& why);
    void Failed(const std::string& why);

private:
    void Record(const audit::Event& event, const std::string& outcome);

    CAuditScope m_scope;
    std::string m_hexPath;
    std::optional<std::string> m_image;
    std::optional<std::string> m_imageBytes;
};

// The SHA-256 of the file's bytes; empty when it cannot be read.
std::string FileSha256(const std::string& path);

}  // namespace qb480
