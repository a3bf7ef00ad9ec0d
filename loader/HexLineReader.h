#pragma once
#include <cstdio>
#include <string_view>

namespace qb480 {

// Splits a text stream into lines as fgets does with a 529-byte buffer: a line
// is at most 528 characters, its line feed included, and the rest of a longer
// line comes back as the next line. A carriage return before a line feed is
// dropped on every platform, as text-mode reading does on Windows.
class CHexLineReader {
public:
    static constexpr std::size_t kMaxLine = 528;

    explicit CHexLineReader(std::FILE* file) : m_file(file) {}
    CHexLineReader(const CHexLineReader&) = delete;
    CHexLineReader& operator=(const CHexLineReader&) = delete;

    // False at the end of the input or after a read error (see Failed).
    bool Next(std::string_view& line);
    bool Failed() const { return m_failed; }

private:
    bool Fill();

    std::FILE* m_file;
    bool m_failed = false;
    bool m_carriedCr = false;
    std::size_t m_pos = 0;
    std::size_t m_end = 0;
    char m_line[kMaxLine];
    char m_chunk[64 * 1024];
};

}  // namespace qb480
