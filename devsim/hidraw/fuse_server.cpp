#define FUSE_USE_VERSION 312

#include "devsim/hidraw/fuse_server.h"

#include "devsim/hidraw/hidraw_ioctl.h"

#include <fuse3/fuse_lowlevel.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <vector>

namespace devsim::hidraw {
namespace {

constexpr unsigned kMaxServingThreads = 64; // writes the device holds each keep one busy

// What one open() of a node file holds; fuse_file_info::fh points at it.
struct Handle {
    std::shared_ptr<HidrawNode> node;
    std::shared_ptr<OpenFile> file;
    std::mutex lock; // poll
    fuse_pollhandle* poll = nullptr;

    void notify()
    {
        std::lock_guard guard(lock);
        if (poll != nullptr) {
            fuse_lowlevel_notify_poll(poll);
            fuse_pollhandle_destroy(poll);
            poll = nullptr;
        }
    }
};

FuseServer& serverOf(fuse_req_t request)
{
    return *static_cast<FuseServer*>(fuse_req_userdata(request));
}

// fh holds a shared pointer, so a notice racing the release finds the handle gone.
Handle& handleOf(fuse_file_info* info)
{
    return **reinterpret_cast<std::shared_ptr<Handle>*>(info->fh);
}

struct stat attributesOf(std::uint64_t inode, const HidrawNode* node)
{
    struct stat attributes {};
    attributes.st_ino = inode;
    if (node == nullptr) {
        attributes.st_mode = S_IFDIR | 0755;
        attributes.st_nlink = 2;
    } else {
        // Like a node that udev gives the seat's user, or, denied, root's alone.
        attributes.st_mode = S_IFREG | (node->isDenied() ? 0600 : 0666);
        attributes.st_nlink = 1;
    }
    return attributes;
}

void onLookup(fuse_req_t request, fuse_ino_t parent, const char* name)
{
    std::uint64_t inode = 0;
    const auto node = parent == FUSE_ROOT_ID ? serverOf(request).byName(name, inode) : nullptr;
    if (!node) {
        fuse_reply_err(request, ENOENT);
        return;
    }
    fuse_entry_param entry{};
    entry.ino = inode;
    entry.attr = attributesOf(inode, node.get());
    // No caching: an unplugged node must vanish at once.
    entry.attr_timeout = 0;
    entry.entry_timeout = 0;
    fuse_reply_entry(request, &entry);
}

void onGetattr(fuse_req_t request, fuse_ino_t inode, fuse_file_info*)
{
    if (inode == FUSE_ROOT_ID) {
        const auto attributes = attributesOf(inode, nullptr);
        fuse_reply_attr(request, &attributes, 0);
        return;
    }
    const auto node = serverOf(request).byInode(inode);
    if (!node) {
        fuse_reply_err(request, ENOENT);
        return;
    }
    const auto attributes = attributesOf(inode, node.get());
    fuse_reply_attr(request, &attributes, 0);
}

void onOpen(fuse_req_t request, fuse_ino_t inode, fuse_file_info* info)
{
    const auto node = serverOf(request).byInode(inode);
    if (!node) {
        fuse_reply_err(request, ENODEV);
        return;
    }
    int error = 0;
    auto file = node->open(error);
    if (!file) {
        fuse_reply_err(request, error);
        return;
    }
    auto* handle = new std::shared_ptr<Handle>(new Handle{node, file, {}, nullptr});
    file->setReadyCallback([weak = std::weak_ptr<Handle>(*handle)] {
        if (const auto alive = weak.lock())
            alive->notify();
    });
    info->fh = reinterpret_cast<std::uint64_t>(handle);
    info->direct_io = 1;
    info->nonseekable = 1;
    if (fuse_reply_open(request, info) != 0) {
        node->close(file);
        delete handle;
    }
}

void onInterrupt(fuse_req_t, void* data)
{
    static_cast<OpenFile*>(data)->interrupt();
}

void onRead(fuse_req_t request, fuse_ino_t, size_t size, off_t, fuse_file_info* info)
{
    Handle& handle = handleOf(info);
    const bool wait = (info->flags & O_NONBLOCK) == 0;
    if (wait)
        fuse_req_interrupt_func(request, onInterrupt, handle.file.get());
    std::vector<std::uint8_t> buffer(size);
    const int length = handle.file->read(buffer, wait);
    if (length < 0)
        fuse_reply_err(request, -length);
    else
        fuse_reply_buf(request, reinterpret_cast<const char*>(buffer.data()), size_t(length));
}

void onWrite(fuse_req_t request, fuse_ino_t, const char* data, size_t size, off_t,
             fuse_file_info* info)
{
    const int written = handleOf(info).node->write(
        std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(data), size));
    if (written < 0)
        fuse_reply_err(request, -written);
    else
        fuse_reply_write(request, size_t(written));
}

void onPoll(fuse_req_t request, fuse_ino_t, fuse_file_info* info, fuse_pollhandle* poll)
{
    Handle& handle = handleOf(info);
    if (poll != nullptr) {
        // Kept before the state is read, so a report arriving meanwhile still notifies.
        std::lock_guard guard(handle.lock);
        if (handle.poll != nullptr)
            fuse_pollhandle_destroy(handle.poll);
        handle.poll = poll;
    }
    unsigned events = POLLOUT | POLLWRNORM; // hidraw always takes a write
    if (handle.file->isGone())
        events |= POLLHUP | POLLERR;
    else if (handle.file->hasInput())
        events |= POLLIN | POLLRDNORM;
    fuse_reply_poll(request, events);
}

void onIoctl(fuse_req_t request, fuse_ino_t, unsigned int command, void*, fuse_file_info* info,
             unsigned flags, const void*, size_t, size_t outSize)
{
    if ((flags & FUSE_IOCTL_COMPAT) != 0) {
        fuse_reply_err(request, ENOSYS);
        return;
    }
    std::vector<std::uint8_t> out;
    const int result = answerIoctl(*handleOf(info).node, command, outSize, out);
    if (result < 0)
        fuse_reply_err(request, -result);
    else
        fuse_reply_ioctl(request, result, out.data(), std::min(out.size(), outSize));
}

void onRelease(fuse_req_t request, fuse_ino_t, fuse_file_info* info)
{
    auto* owner = reinterpret_cast<std::shared_ptr<Handle>*>(info->fh);
    Handle* handle = owner->get();
    handle->file->setReadyCallback({});
    handle->node->close(handle->file);
    {
        std::lock_guard guard(handle->lock);
        if (handle->poll != nullptr)
            fuse_pollhandle_destroy(handle->poll);
        handle->poll = nullptr;
    }
    delete owner;
    fuse_reply_err(request, 0);
}

const fuse_lowlevel_ops& operations()
{
    static const fuse_lowlevel_ops ops = [] {
        fuse_lowlevel_ops o{};
        o.lookup = onLookup;
        o.getattr = onGetattr;
        o.open = onOpen;
        o.read = onRead;
        o.write = onWrite;
        o.poll = onPoll;
        o.release = onRelease;
        o.ioctl = onIoctl;
        return o;
    }();
    return ops;
}

} // namespace

FuseServer::~FuseServer()
{
    stop();
}

platform::Result<void> FuseServer::start(const std::filesystem::path& mountpoint)
{
    // allow_other: the command run inside may be another user than this server.
    const char* argv[] = {"halvek-devsim", "-o", "allow_other,fsname=halvek-hidraw"};
    fuse_args args = FUSE_ARGS_INIT(3, const_cast<char**>(argv));
    const auto& ops = operations();
    m_session = fuse_session_new(&args, &ops, sizeof ops, this);
    fuse_opt_free_args(&args);
    if (m_session == nullptr)
        return platform::makeError(platform::Error::Code::Unavailable,
                                   "no FUSE session could be made");
    if (fuse_session_mount(m_session, mountpoint.c_str()) != 0) {
        fuse_session_destroy(m_session);
        m_session = nullptr;
        return platform::makeError(platform::Error::Code::Unavailable,
                                   "FUSE cannot be mounted at " + mountpoint.string());
    }
    m_mountpoint = mountpoint;
    m_loop = std::thread([session = m_session] {
        fuse_loop_config* config = fuse_loop_cfg_create();
        fuse_loop_cfg_set_max_threads(config, kMaxServingThreads);
        fuse_session_loop_mt(session, config);
        fuse_loop_cfg_destroy(config);
    });
    return {};
}

void FuseServer::stop()
{
    if (m_session == nullptr)
        return;
    {
        std::lock_guard guard(m_lock);
        // Readers blocked in a node file end now, so the serving threads can.
        for (const auto& [inode, node] : m_nodes)
            node->markGone();
    }
    // Unmounting closes the session's handle, which the serving threads read: they must be
    // gone first. A worker leaves once it has served a request after the exit flag, and the
    // loop then cancels the others, so one look-up of a name that is never cached ends it.
    // The look-up has a thread of its own: where the loop ended before a worker read it, the
    // unmount answers it.
    fuse_session_exit(m_session);
    std::thread waker([stopName = m_mountpoint / ".halvek-stop"] {
        struct stat unused {};
        (void)::stat(stopName.c_str(), &unused);
    });
    if (m_loop.joinable())
        m_loop.join();
    fuse_session_unmount(m_session);
    waker.join();
    fuse_session_destroy(m_session);
    m_session = nullptr;
    std::lock_guard guard(m_lock);
    m_nodes.clear();
    m_inodes.clear();
}

void FuseServer::add(std::shared_ptr<HidrawNode> node)
{
    std::lock_guard guard(m_lock);
    if (const auto old = m_inodes.find(node->name()); old != m_inodes.end())
        m_nodes.erase(old->second);
    const std::uint64_t inode = m_nextInode++;
    m_inodes[node->name()] = inode;
    m_nodes[inode] = std::move(node);
}

void FuseServer::remove(const std::string& name)
{
    std::shared_ptr<HidrawNode> node;
    {
        std::lock_guard guard(m_lock);
        const auto found = m_inodes.find(name);
        if (found == m_inodes.end())
            return;
        node = m_nodes[found->second];
        m_nodes.erase(found->second);
        m_inodes.erase(found);
    }
    node->markGone();
}

std::shared_ptr<HidrawNode> FuseServer::byName(const std::string& name, std::uint64_t& inode) const
{
    std::lock_guard guard(m_lock);
    const auto found = m_inodes.find(name);
    if (found == m_inodes.end())
        return nullptr;
    inode = found->second;
    return m_nodes.at(inode);
}

std::shared_ptr<HidrawNode> FuseServer::byInode(std::uint64_t inode) const
{
    std::lock_guard guard(m_lock);
    const auto found = m_nodes.find(inode);
    return found == m_nodes.end() ? nullptr : found->second;
}

} // namespace devsim::hidraw
