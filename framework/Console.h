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

}  // namespace fw
