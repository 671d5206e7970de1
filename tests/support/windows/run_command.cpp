#include "support/run_command.h"

#include "platform/text.h"

#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <io.h>
#include <map>
#include <mutex>
#include <string>
#include <vector>
#include <windows.h>

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

// Each started program's process, by the pipe its output comes through.
std::map<std::FILE*, HANDLE>& running()
{
    static std::map<std::FILE*, HANDLE> processes;
    return processes;
}

std::mutex& runningLock()
{
    static std::mutex lock;
    return lock;
}

constexpr DWORD kLongestEnd = 60000;

} // namespace

std::filesystem::path builtProgramPath(const std::string& program)
{
    return std::filesystem::path(HALVEK_BINARY_DIR) / (program + ".exe");
}

// Started directly, not through the command interpreter: under Wine every process start
// costs a second or more on a loaded machine. Both output streams go into one pipe.
std::FILE* openCommandPipe(const std::string& program, const std::string& arguments,
                           ErrorStream errors)
{
    std::wstring line = quoted(platform::toUtf8(builtProgramPath(program).wstring()));
    for (const auto& word : shellWords(arguments))
        line += L" " + quoted(word);
    SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherited, 0))
        return nullptr;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    HANDLE nowhere = INVALID_HANDLE_VALUE;
    if (errors == ErrorStream::Dropped)
        nowhere = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited,
                              OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = writeEnd;
    startup.hStdError = errors == ErrorStream::Captured ? writeEnd : nowhere;
    PROCESS_INFORMATION process{};
    // The write end goes before the next start, so no later child holds this pipe open.
    const BOOL started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &startup, &process);
    CloseHandle(writeEnd);
    if (nowhere != INVALID_HANDLE_VALUE)
        CloseHandle(nowhere);
    if (!started) {
        CloseHandle(readEnd);
        return nullptr;
    }
    CloseHandle(process.hThread);
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(readEnd), _O_RDONLY);
    std::FILE* pipe = descriptor == -1 ? nullptr : _fdopen(descriptor, "rb");
    if (pipe == nullptr) {
        if (descriptor == -1)
            CloseHandle(readEnd);
        else
            _close(descriptor);
        TerminateProcess(process.hProcess, 1);
        CloseHandle(process.hProcess);
        return nullptr;
    }
    std::lock_guard guard(runningLock());
    running()[pipe] = process.hProcess;
    return pipe;
}

int closeCommandPipe(std::FILE* pipe)
{
    HANDLE process = nullptr;
    {
        std::lock_guard guard(runningLock());
        process = running()[pipe];
        running().erase(pipe);
    }
    std::fclose(pipe);
    // The output has ended, so the program is ending; one that hangs on is ended.
    if (WaitForSingleObject(process, kLongestEnd) != WAIT_OBJECT_0)
        TerminateProcess(process, 255);
    DWORD code = 0;
    const bool known = GetExitCodeProcess(process, &code) != 0;
    CloseHandle(process);
    return known ? static_cast<int>(code) : -1;
}

} // namespace testing_support
