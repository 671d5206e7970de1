#pragma once

// The folder of hidraw node files, served through FUSE: each file behaves as /dev/hidrawN
// does (per-open input queues, blocking and non-blocking reads, poll, output reports on
// write) for the HidrawNode it stands for. The files are regular files, not character
// devices; the nodes in /dev are bound to them.

#include "devsim/hidraw/hidraw_node.h"

#include "platform/result.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

struct fuse_session;

namespace devsim::hidraw {

class FuseServer {
public:
    FuseServer() = default;
    ~FuseServer();
    FuseServer(const FuseServer&) = delete;
    FuseServer& operator=(const FuseServer&) = delete;

    // Mounts the (empty) folder at `mountpoint` and serves it on threads of its own.
    platform::Result<void> start(const std::filesystem::path& mountpoint);
    // Ends every node, unmounts and waits for the serving threads.
    void stop();

    // The node's file appears as mountpoint/<node name>; a name in use is replaced.
    void add(std::shared_ptr<HidrawNode> node);
    void remove(const std::string& name);

    // For the FUSE callbacks.
    std::shared_ptr<HidrawNode> byName(const std::string& name, std::uint64_t& inode) const;
    std::shared_ptr<HidrawNode> byInode(std::uint64_t inode) const;
    fuse_session* session() const { return m_session; }

private:
    fuse_session* m_session = nullptr;
    std::filesystem::path m_mountpoint;
    std::thread m_loop;

    mutable std::mutex m_lock;
    std::map<std::string, std::uint64_t> m_inodes;
    std::map<std::uint64_t, std::shared_ptr<HidrawNode>> m_nodes;
    std::uint64_t m_nextInode = 2; // 1 is the folder; a replugged node gets a new file
};

} // namespace devsim::hidraw
