#pragma once

// The private world the hidraw nodes live in: mount and network namespaces of this
// process, where /dev, /run, /sys/devices and /sys/class/hidraw are tmpfs copies of the
// real folders (every entry bound back in), so nodes, sysfs records and udev's control file
// can be added there without touching the machine. The command given runs inside it.

#include "platform/result.h"

#include <filesystem>
#include <string>
#include <vector>

namespace devsim::hidraw {

class NamespaceRunner {
public:
    NamespaceRunner() = default;
    // Unmounts and removes the scratch folder.
    ~NamespaceRunner();
    NamespaceRunner(const NamespaceRunner&) = delete;
    NamespaceRunner& operator=(const NamespaceRunner&) = delete;

    // Enters the namespaces and makes the folders private. Only before any thread starts:
    // the kernel refuses a new mount namespace to a process that shares its file system
    // information with other threads.
    platform::Result<void> enter();

    // A folder of this namespace's own for the node files' FUSE mount.
    const std::filesystem::path& nodeFolder() const { return m_nodes; }

    // Makes `node` (the FUSE file) appear as `devNode` ("/dev/hidraw0"), or goes again.
    platform::Result<void> bindNode(const std::filesystem::path& node,
                                    const std::filesystem::path& devNode);
    void unbindNode(const std::filesystem::path& devNode);

    // Runs the command with the environment given to this process and returns its exit
    // status (128 + the signal when one ended it), or -1 when it could not be started.
    int run(const std::vector<std::string>& command);

private:
    platform::Result<void> cover(const std::filesystem::path& folder, bool keepEntries);

    std::filesystem::path m_scratch; // tmpfs, seen empty from outside
    std::filesystem::path m_nodes;
    int m_coverCount = 0;
};

} // namespace devsim::hidraw
