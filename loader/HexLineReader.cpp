#include "HexLineReader.h"

#include <algorithm>
#include <cstring>

namespace qb480 {

namespace {

// Windows' text-mode streams already drop the CR of a CR LF pair.
#ifdef _WIN32
constexpr bool kTranslateCrLf = false;
#else
constexpr bool kTranslateCrLf = true;
#endif

// Drops each carriage return that stands right before a line feed.
std::size_t DropCrBeforeLf(char* text, std::size_t length)
{
    char* cr = static_cast<char*>(std::memchr(text, '\r', length));
    if (!cr)
        return length;
    char* out = cr;
    for (const char* in = cr; in < text + length; ++in) {
        if (*in == '\r' && in + 1 < text + length && in[1] == '\n')
            continue;
        *out++ = *in;
    }
    return static_cast<std::size_t>(out - text);
}

}  // namespace

bool CHexLineReader::Fill()
{
    for (;;) {
        std::size_t start = 0;
        if (m_carriedCr) {
            m_chunk[0] = '\r';
            start = 1;
            m_carriedCr = false;
        }
        const std::size_t got = std::fread(m_chunk + start, 1, sizeof m_chunk - start, m_file);
        if (got == 0 && std::ferror(m_file))
            m_failed = true;
        std::size_t total = start + got;
        if (got == 0) {  // end of input: a carried CR is an ordinary character
            m_pos = 0;
            m_end = total;
            return total > 0;
        }
        // A CR at the end of the chunk may belong to a CR LF split across reads.
        if (kTranslateCrLf && m_chunk[total - 1] == '\r') {
            m_carriedCr = true;
            --total;
        }
        m_pos = 0;
        m_end = kTranslateCrLf ? DropCrBeforeLf(m_chunk, total) : total;
        if (m_end > 0)
            return true;
    }
}

bool CHexLineReader::Next(std::string_view& line)
{
    std::size_t length = 0;
    while (length < kMaxLine) {
        if (m_pos == m_end && !Fill())
            break;
        const std::size_t take = std::min(kMaxLine - length, m_end - m_pos);
        const char* from = m_chunk + m_pos;
        const char* lf = static_cast<const char*>(std::memchr(from, '\n', take));
        const std::size_t n = lf ? static_cast<std::size_t>(lf - from) + 1 : take;
        std::memcpy(m_line + length, from, n);
        length += n;
        m_pos += n;
        if (lf)
            break;
    }
    line = std::string_view(m_line, length);
    return length > 0;
}

}  // namespace qb480
