#include "support/run_command.h"

#include "platform/text.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace testing_support {
namespace {

// The arguments come as a POSIX shell word list ('single' and "double" quotes, backslash
// escapes); each word is quoted again the way the C runtime splits a command line.
std::vector<std::string> shellWords(const std::string& text)
{
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == ' ' || c == '\t' || c == '\n') {
            if (inWord)
                words.push_back(std::move(word));
            word.clear();
            inWord = false;
            continue;
        }
        inWord = true;
        if (c == '\'') {
            const auto end = text.find('\'', i + 1);
            word += text.substr(i + 1, end - i - 1);
            i = end == std::string::npos ? text.size() : end;
        } else if (c == '"') {
            for (++i; i < text.size() && text[i] != '"'; ++i) {
                if (text[i] == '\\' && i + 1 < text.size())
                    ++i;
                word += text[i];
            }
        } else if (c == '\\' && i + 1 < text.size()) {
            word += text[++i];
        } else {
            word += c;
        }
    }
    if (inWord)
        words.push_back(std::move(word));
    return words;
}

std::wstring quoted(const std::string& word)
{
    const std::wstring wide = platform::fromUtf8(word);
    if (!wide.empty() && wide.find_first_of(L" \t\"") == std::wstring::npos)
        return wide;
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : wide) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    return out + L"\"";
}

} // namespace

std::filesystem::path builtProgramPath(const std::string& program)
{
    return std::filesystem::path(HALVEK_BINARY_DIR) / (program + ".exe");
}

// Through the command interpreter, which gathers both output streams.
std::FILE* openCommandPipe(const std::string& program, const std::string& arguments,
                           ErrorStream errors)
{
    std::wstring command = L"\"\"" + builtProgramPath(program).wstring() + L"\"";
    for (const auto& word : shellWords(arguments))
        command += L" " + quoted(word);
    command += errors == ErrorStream::Captured ? L" 2>&1\"" : L" 2>NUL\"";
    return ::_wpopen(command.c_str(), L"rb");
}

int closeCommandPipe(std::FILE* pipe)
{
    return ::_pclose(pipe);
}

} // namespace testing_support
