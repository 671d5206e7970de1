#include "platform/windows/command_line.h"

namespace platform::windows {
namespace {

// One argument as CommandLineToArgvW and the C runtime read it back: quotes around it when
// it holds blanks or quotes, backslashes doubled only where a quote follows them.
void appendQuoted(std::wstring& line, const std::wstring& argument)
{
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        line += argument;
        return;
    }
    line += L'"';
    for (auto it = argument.begin();; ++it) {
        std::size_t backslashes = 0;
        while (it != argument.end() && *it == L'\\') {
            ++it;
            ++backslashes;
        }
        if (it == argument.end()) {
            line.append(backslashes * 2, L'\\');
            break;
        }
        if (*it == L'"') {
            line.append(backslashes * 2 + 1, L'\\');
            line += L'"';
        } else {
            line.append(backslashes, L'\\');
            line += *it;
        }
    }
    line += L'"';
}

} // namespace

std::wstring commandLine(const std::wstring& program, const std::vector<std::wstring>& arguments)
{
    std::wstring line;
    appendQuoted(line, program);
    for (const auto& argument : arguments) {
        line += L' ';
        appendQuoted(line, argument);
    }
    return line;
}

} // namespace platform::windows
