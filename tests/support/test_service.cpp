#include "support/test_service.h"

#include "support/temp_dir.h"

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testing_support {
namespace {

const std::string kScript = std::string(HALVEK_SOURCE_DIR) + "/tests/support/test_server.py";

// Reads the first line the child prints, waiting at most the time-out for it.
std::string readFirstLine(int fd, int timeoutMs)
{
    std::string line;
    while (line.find('\n') == std::string::npos && line.size() < 256) {
        pollfd entry{fd, POLLIN, 0};
        if (::poll(&entry, 1, timeoutMs) <= 0)
            break;
        char chunk[64];
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n <= 0)
            break;
        line.append(chunk, static_cast<std::size_t>(n));
    }
    return line;
}

} // namespace

TestService::TestService(const std::vector<std::string>& arguments)
{
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0)
        return;
    std::vector<std::string> words{"python3", kScript};
    words.insert(words.end(), arguments.begin(), arguments.end());
    m_pid = ::fork();
    if (m_pid == 0) {
        ::dup2(pipeEnds[1], STDOUT_FILENO);
        ::close(pipeEnds[0]);
        ::close(pipeEnds[1]);
        std::vector<char*> argv;
        for (auto& word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        ::execvp("python3", argv.data());
        ::_exit(127);
    }
    ::close(pipeEnds[1]);
    if (m_pid > 0) {
        const std::string line = readFirstLine(pipeEnds[0], 20000);
        if (line.rfind("PORT ", 0) == 0)
            m_port = std::atoi(line.c_str() + 5);
    }
    ::close(pipeEnds[0]);
}

TestService::~TestService()
{
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
    }
}

std::string TestService::url(std::string_view path) const
{
    return "https://127.0.0.1:" + std::to_string(m_port) + std::string(path);
}

bool testServiceAvailable()
{
    return std::system("command -v python3 >/dev/null 2>&1 && command -v openssl >/dev/null "
                       "2>&1") == 0;
}

const std::filesystem::path& testCertificates()
{
    static TempDir folder;
    static const bool made = [] {
        const std::string command =
            "python3 " + kScript + " certs --certs '" + folder.path().string() + "'";
        return std::system(command.c_str()) == 0;
    }();
    (void)made;
    return folder.path();
}

std::vector<std::string> readLines(const std::filesystem::path& file)
{
    std::vector<std::string> lines;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

} // namespace testing_support
