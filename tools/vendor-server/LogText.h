#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// `text` as it may go into the log: printable ASCII as it is, a backslash as
// "\\", every other byte as "\xHH", so a request cannot write control
// sequences to an operator's terminal or forge log lines. Longer texts are
// cut at `maxBytes` of input and end in "...".
std::string LogText(std::string_view text, std::size_t maxBytes = 256);

// Writes `line` and a line break to stderr in one piece, so lines from
// several threads do not interleave.
void WriteLogLine(const std::string& line);
