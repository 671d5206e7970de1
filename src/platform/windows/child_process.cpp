#include "platform/child_process.h"

#include "platform/debug_output.h"
#include "platform/text.h"
#include "platform/windows/command_line.h"
#include "platform/windows/win_error.h"

#include <algorithm>
#include <mutex>
#include <utility>
#include <windows.h>

namespace platform {
namespace {

// Kernel handles carry 32 significant bits on 64-bit Windows, so the process handle fits
// the descriptor slot the header keeps for it.
HANDLE processHandle(int stored)
{
    return LongToHandle(stored);
}

// One job for every child: it closes with this process, and the system ends the children
// with it, as a companion outliving the program would work for nobody.
HANDLE childJob()
{
    static HANDLE job = [] {
        HANDLE made = CreateJobObjectW(nullptr, nullptr);
        if (made == nullptr) {
            debugOutput(windows::errorText("child process: no job object"));
            return made;
        }
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        if (!SetInformationJobObject(made, JobObjectExtendedLimitInformation, &limits,
                                     sizeof limits))
            debugOutput(windows::errorText("child process: job limits not set"));
        return made;
    }();
    return job;
}

} // namespace

void ChildProcess::release()
{
    if (m_pidFd != -1)
        CloseHandle(processHandle(m_pidFd));
    m_pidFd = -1;
}

Result<ChildProcess> ChildProcess::start(const std::filesystem::path& program,
                                         const std::vector<std::string>& arguments)
{
    std::vector<std::wstring> wideArguments;
    for (const auto& argument : arguments)
        wideArguments.push_back(fromUtf8(argument));
    std::wstring line = windows::commandLine(program.wstring(), wideArguments);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = nullptr;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process{};
    // A program name without a folder is looked up the way the system does (the program's
    // folder, the system folders, PATH): that is what a null application name asks for.
    const BOOL started =
        CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE,
                       CREATE_SUSPENDED | CREATE_NEW_PROCESS_GROUP | CREATE_UNICODE_ENVIRONMENT,
                       nullptr, nullptr, &startup, &process);
    if (!started) {
        return windows::systemError(windows::displayName(program) + " could not be started");
    }
    // Into the job before its first instruction, so not even a quick child escapes it.
    if (HANDLE job = childJob(); job != nullptr && !AssignProcessToJobObject(job, process.hProcess))
        debugOutput(windows::errorText("child process: not in the job"));
    ResumeThread(process.hThread);
    CloseHandle(process.hThread);
    ChildProcess child;
    child.m_pid = static_cast<int>(process.dwProcessId);
    child.m_pidFd = HandleToLong(process.hProcess);
    return child;
}

void ChildProcess::reap(bool block)
{
    if (m_pid <= 0 || m_pidFd == -1)
        return;
    HANDLE process = processHandle(m_pidFd);
    if (WaitForSingleObject(process, block ? INFINITE : 0) != WAIT_OBJECT_0)
        return;
    DWORD code = 0;
    m_status = GetExitCodeProcess(process, &code) ? static_cast<int>(code) : -1;
    m_pid = -1;
    release();
}

bool ChildProcess::waitForExit(std::chrono::milliseconds timeout)
{
    if (!isRunning())
        return true;
    const auto waitMs = static_cast<DWORD>(std::clamp<long long>(timeout.count(), 0, INFINITE - 1));
    WaitForSingleObject(processHandle(m_pidFd), waitMs);
    return !isRunning();
}

// The child leads its own process group: Ctrl+Break reaches it alone, and a console
// program ends on it as on Ctrl+C.
void ChildProcess::askToEnd()
{
    GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, static_cast<DWORD>(m_pid));
}

void ChildProcess::forceEnd()
{
    TerminateProcess(processHandle(m_pidFd), 1);
}

} // namespace platform
