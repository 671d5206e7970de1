#include "platform/child_process.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

namespace platform {

namespace {

int openPidFd(pid_t pid)
{
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
}

} // namespace

void ChildProcess::release()
{
    if (m_pidFd >= 0)
        ::close(m_pidFd);
    m_pidFd = -1;
}

Result<ChildProcess> ChildProcess::start(const std::filesystem::path& program,
                                         const std::vector<std::string>& arguments)
{
    // Everything the child needs is made before fork: after it only async-signal-safe
    // calls are allowed, as other threads may hold locks.
    const std::string file = program.string();
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(file.c_str()));
    for (const auto& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const pid_t parent = ::getpid();

    int ready[2];
    if (::pipe2(ready, O_CLOEXEC) != 0)
        return makeError(Error::Code::Failed, std::string("pipe: ") + std::strerror(errno));
    const pid_t pid = ::fork();
    if (pid < 0) {
        const int error = errno;
        ::close(ready[0]);
        ::close(ready[1]);
        return makeError(Error::Code::Failed, std::string("fork: ") + std::strerror(error));
    }
    if (pid == 0) {
        // A companion outliving the program would capture sound for nobody.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent)
            ::_exit(127);
        const int devNull = ::open("/dev/null", O_RDWR);
        if (devNull >= 0) {
            ::dup2(devNull, STDIN_FILENO);
            ::dup2(devNull, STDOUT_FILENO);
        }
        ::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
        ::execvp(argv[0], argv.data());
        const int error = errno;
        (void)!::write(ready[1], &error, sizeof error);
        ::_exit(127);
    }
    ::close(ready[1]);
    int childError = 0;
    ssize_t got;
    do {
        got = ::read(ready[0], &childError, sizeof childError);
    } while (got < 0 && errno == EINTR);
    ::close(ready[0]);
    ChildProcess child;
    child.m_pid = pid;
    if (got == static_cast<ssize_t>(sizeof childError)) {
        child.reap(true);
        return makeError(Error::Code::NotFound,
                         file + " could not be started: " + std::strerror(childError));
    }
    child.m_pidFd = openPidFd(pid);
    return child;
}

void ChildProcess::reap(bool block)
{
    if (m_pid <= 0)
        return;
    int status = 0;
    pid_t done;
    do {
        done = ::waitpid(m_pid, &status, block ? 0 : WNOHANG);
    } while (done < 0 && errno == EINTR);
    if (done == 0)
        return;
    if (done == m_pid)
        m_status = WIFEXITED(status)     ? WEXITSTATUS(status)
                   : WIFSIGNALED(status) ? -WTERMSIG(status)
                                         : -1;
    else
        m_status = -1; // reaped elsewhere
    m_pid = -1;
    release();
}

bool ChildProcess::waitForExit(std::chrono::milliseconds timeout)
{
    if (!isRunning())
        return true;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (true) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return !isRunning();
        if (m_pidFd >= 0) {
            // The pid descriptor becomes readable when the child ends: a real wait.
            pollfd watch{m_pidFd, POLLIN, 0};
            const int ready = ::poll(&watch, 1, static_cast<int>(left.count()));
            if (ready < 0 && errno != EINTR)
                return !isRunning();
        } else {
            // Without pid descriptors (old kernels) a short pause between looks.
            ::usleep(static_cast<useconds_t>(std::min<long long>(left.count(), 10) * 1000));
        }
        if (!isRunning())
            return true;
    }
}

void ChildProcess::askToEnd()
{
    ::kill(m_pid, SIGTERM);
}

void ChildProcess::forceEnd()
{
    ::kill(m_pid, SIGKILL);
}

} // namespace platform
