#pragma once
// A console program's output: the shell or script that started it reads
// the lines, on its console or redirected to a file or pipe.
#include <string>

namespace fw {

// text and CR LF on standard output; each line break inside text becomes
// CR LF too. Nothing when the program has no standard output.
void WriteOutputLine(const std::string& text);

}  // namespace fw
