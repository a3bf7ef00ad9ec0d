#pragma once
// A console program's output: the shell or script that started it reads
// the lines, on its console or redirected to a file or pipe.
#include <string>

namespace fw {

// text (in the ANSI code page) and CR LF on standard output; each line
// break inside text becomes CR LF too. A console gets it as UTF-16; a file
// or pipe in the console's code page, the OEM one by default, as Windows'
// own console tools write and shells read. Nothing when the program has no
// standard output.
void WriteOutputLine(const std::string& text);

// A line that is UTF-8 already (a JSON object): a console gets it as
// UTF-16, a file or pipe as the UTF-8 bytes themselves.
void WriteUtf8OutputLine(const std::string& utf8);

// Text in the ANSI code page as UTF-8.
std::string AnsiToUtf8(const std::string& text);

}  // namespace fw
