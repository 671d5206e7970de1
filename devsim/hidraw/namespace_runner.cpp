#include "devsim/hidraw/namespace_runner.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace devsim::hidraw {
namespace {

namespace fs = std::filesystem;

platform::Error failure(const std::string& what)
{
    return platform::makeError(platform::Error::Code::Unavailable,
                               what + ": " + std::strerror(errno));
}

volatile sig_atomic_t g_command = 0;

// Ctrl+C, a hang-up or kill end the command first, so this process can clean up after it.
void forwardToCommand(int signal)
{
    if (g_command > 0)
        ::kill(g_command, signal);
}

bool makeEmptyFile(const fs::path& path)
{
    const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
    if (fd < 0)
        return errno == EEXIST;
    ::close(fd);
    return true;
}

} // namespace

NamespaceRunner::~NamespaceRunner()
{
    if (m_scratch.empty())
        return;
    ::umount2(m_scratch.c_str(), MNT_DETACH);
    ::rmdir(m_scratch.c_str());
}

platform::Result<void> NamespaceRunner::enter()
{
    if (::unshare(CLONE_NEWNS | CLONE_NEWNET) != 0)
        return failure("no private mount and network namespace (root is needed)");
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return failure("the mounts cannot be made private");

    std::string scratch = (fs::temp_directory_path() / "halvek-hidraw.XXXXXX").string();
    if (::mkdtemp(scratch.data()) == nullptr)
        return failure("no scratch folder");
    m_scratch = scratch;
    if (::mount("tmpfs", m_scratch.c_str(), "tmpfs", MS_NOSUID, "mode=0700") != 0)
        return failure("no tmpfs for the scratch folder");
    m_nodes = m_scratch / "nodes";
    if (::mkdir(m_nodes.c_str(), 0755) != 0)
        return failure("no folder for the node files");

    if (auto covered = cover("/dev", true); !covered)
        return covered;
    if (auto covered = cover("/run", true); !covered)
        return covered;
    if (auto covered = cover("/sys/devices", true); !covered)
        return covered;
    // The machine's own hidraw nodes stay out of sight: only the emulated ones are listed.
    // A kernel without hidraw loaded has no such folder: it is made in a copy of the classes.
    if (::access("/sys/class/hidraw", F_OK) == 0) {
        if (auto covered = cover("/sys/class/hidraw", false); !covered)
            return covered;
    } else {
        if (auto covered = cover("/sys/class", true); !covered)
            return covered;
        if (::mkdir("/sys/class/hidraw", 0755) != 0)
            return failure("no /sys/class/hidraw");
    }
    // libudev listens for udev's events only while udevd seems to run.
    if (::mkdir("/run/udev", 0755) != 0 && errno != EEXIST)
        return failure("no /run/udev");
    // Where udevd runs, its control socket is already there.
    if (::access("/run/udev/control", F_OK) != 0 && !makeEmptyFile("/run/udev/control"))
        return failure("no /run/udev/control");
    // The file outside sysfs would be refused without this; libudev reads it at every call.
    ::setenv("SYSTEMD_DEVICE_VERIFY_SYSFS", "0", 1);
    return {};
}

platform::Result<void> NamespaceRunner::cover(const fs::path& folder, bool keepEntries)
{
    const fs::path original = m_scratch / ("original-" + std::to_string(m_coverCount++));
    if (keepEntries) {
        if (::mkdir(original.c_str(), 0700) != 0)
            return failure("no folder for " + folder.string());
        if (::mount(folder.c_str(), original.c_str(), nullptr, MS_BIND | MS_REC, nullptr) != 0)
            return failure(folder.string() + " cannot be bound");
    }
    struct stat status {};
    if (::stat(folder.c_str(), &status) != 0)
        return failure(folder.string() + " is missing");
    const std::string mode = "mode=0" + std::to_string((status.st_mode >> 6) & 7) +
                             std::to_string((status.st_mode >> 3) & 7) +
                             std::to_string(status.st_mode & 7);
    if (::mount("tmpfs", folder.c_str(), "tmpfs", MS_NOSUID, mode.c_str()) != 0)
        return failure(folder.string() + " cannot be covered");
    if (!keepEntries)
        return {};

    std::error_code error;
    for (const auto& entry : fs::directory_iterator(original, error)) {
        const fs::path target = folder / entry.path().filename();
        if (entry.is_symlink()) {
            fs::copy_symlink(entry.path(), target, error);
            continue;
        }
        const bool isFolder = entry.is_directory();
        const bool made = isFolder ? ::mkdir(target.c_str(), 0755) == 0 : makeEmptyFile(target);
        if (!made ||
            ::mount(entry.path().c_str(), target.c_str(), nullptr, MS_BIND | MS_REC, nullptr) != 0)
            return failure(entry.path().filename().string() + " of " + folder.string() +
                           " cannot be bound back");
    }
    if (error)
        return platform::makeError(platform::Error::Code::Unavailable,
                                   folder.string() + " cannot be listed: " + error.message());
    return {};
}

platform::Result<void> NamespaceRunner::bindNode(const fs::path& node, const fs::path& devNode)
{
    if (!makeEmptyFile(devNode))
        return failure("no " + devNode.string());
    if (::mount(node.c_str(), devNode.c_str(), nullptr, MS_BIND, nullptr) != 0) {
        const auto error = failure(devNode.string() + " cannot be bound to its node file");
        ::unlink(devNode.c_str());
        return error;
    }
    return {};
}

void NamespaceRunner::unbindNode(const fs::path& devNode)
{
    ::umount2(devNode.c_str(), MNT_DETACH);
    ::unlink(devNode.c_str());
}

int NamespaceRunner::run(const std::vector<std::string>& command)
{
    if (command.empty())
        return -1;
    std::vector<char*> argv;
    for (const auto& word : command)
        argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    const pid_t parent = ::getpid();
    const pid_t child = ::fork();
    if (child < 0)
        return -1;
    if (child == 0) {
        // The command goes with its emulator, so nothing is left using vanished nodes.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent)
            ::_exit(127);
        ::execvp(argv[0], argv.data());
        // Only async-signal-safe calls after fork in a process with threads.
        const char* parts[] = {"halvek-devsim: ", argv[0], " cannot be run\n"};
        for (const char* part : parts)
            (void)!::write(STDERR_FILENO, part, std::strlen(part));
        ::_exit(127);
    }
    g_command = child;
    struct sigaction forward {};
    forward.sa_handler = forwardToCommand;
    const int forwarded[] = {SIGINT, SIGTERM, SIGHUP};
    struct sigaction previous[3]{};
    for (int i = 0; i < 3; ++i)
        ::sigaction(forwarded[i], &forward, &previous[i]);
    int status = 0;
    int waited = 0;
    while ((waited = ::waitpid(child, &status, 0)) < 0 && errno == EINTR) {
    }
    for (int i = 0; i < 3; ++i)
        ::sigaction(forwarded[i], &previous[i], nullptr);
    g_command = 0;
    if (waited < 0)
        return -1;
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return WEXITSTATUS(status);
}

} // namespace devsim::hidraw
