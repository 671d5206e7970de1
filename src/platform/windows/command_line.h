#pragma once

// Shared by the Windows backend files only.

#include <string>
#include <vector>

namespace platform::windows {

// The command line CreateProcessW takes for a program and its arguments, written so that
// CommandLineToArgvW and the C runtime give back exactly these arguments: quotes around one
// that holds blanks or quotes or is empty, backslashes doubled only where a quote follows.
std::wstring commandLine(const std::wstring& program, const std::vector<std::wstring>& arguments);

} // namespace platform::windows
