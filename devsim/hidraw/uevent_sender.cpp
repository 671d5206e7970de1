#include "devsim/hidraw/uevent_sender.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <linux/netlink.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace devsim::hidraw {
namespace {

constexpr std::uint32_t kUdevGroup = 2;
constexpr std::uint32_t kMagic = 0xfeedcafe;

// udevd's header, every number in network byte order.
struct MonitorHeader {
    char prefix[8];
    std::uint32_t magic;
    std::uint32_t headerSize;
    std::uint32_t propertiesOffset;
    std::uint32_t propertiesLength;
    std::uint32_t subsystemHash;
    std::uint32_t devtypeHash;
    std::uint32_t tagBloomHigh;
    std::uint32_t tagBloomLow;
};

platform::Error failure(const std::string& what)
{
    return platform::makeError(platform::Error::Code::Io, what + ": " + std::strerror(errno));
}

} // namespace

std::uint32_t udevHash(std::string_view text)
{
    constexpr std::uint32_t m = 0x5bd1e995;
    std::uint32_t h = static_cast<std::uint32_t>(text.size());
    const auto* data = reinterpret_cast<const unsigned char*>(text.data());
    std::size_t length = text.size();
    while (length >= 4) {
        std::uint32_t k = std::uint32_t(data[0]) | std::uint32_t(data[1]) << 8 |
                          std::uint32_t(data[2]) << 16 | std::uint32_t(data[3]) << 24;
        k *= m;
        k ^= k >> 24;
        k *= m;
        h *= m;
        h ^= k;
        data += 4;
        length -= 4;
    }
    switch (length) {
    case 3:
        h ^= std::uint32_t(data[2]) << 16;
        [[fallthrough]];
    case 2:
        h ^= std::uint32_t(data[1]) << 8;
        [[fallthrough]];
    case 1:
        h ^= data[0];
        h *= m;
    }
    h ^= h >> 13;
    h *= m;
    h ^= h >> 15;
    return h;
}

UeventSender::~UeventSender()
{
    if (m_socket >= 0)
        ::close(m_socket);
}

platform::Result<void> UeventSender::open()
{
    m_socket = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_KOBJECT_UEVENT);
    if (m_socket < 0)
        return failure("no uevent socket");
    sockaddr_nl self{};
    self.nl_family = AF_NETLINK;
    if (::bind(m_socket, reinterpret_cast<sockaddr*>(&self), sizeof self) != 0)
        return failure("the uevent socket cannot be bound");
    return {};
}

platform::Result<void> UeventSender::send(const std::string& action, const DeviceEvent& device)
{
    std::string properties;
    const auto add = [&properties](const std::string& line) {
        properties += line;
        properties += '\0';
    };
    add("ACTION=" + action);
    add("DEVPATH=" + device.devpath);
    add("SUBSYSTEM=" + device.subsystem);
    std::string devtype;
    for (const auto& line : device.properties) {
        // udevd hands listeners the node's full path.
        if (line.rfind("DEVNAME=", 0) == 0 && line.find('/') == std::string::npos)
            add("DEVNAME=/dev/" + line.substr(8));
        else if (line.rfind("DEVNAME=", 0) != 0)
            add(line);
        if (line.rfind("DEVTYPE=", 0) == 0)
            devtype = line.substr(8);
    }
    add("SEQNUM=" + std::to_string(++m_sequence));
    const auto now = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
    add("USEC_INITIALIZED=" + std::to_string(now.count()));

    MonitorHeader header{};
    std::memcpy(header.prefix, "libudev", 8);
    header.magic = htonl(kMagic);
    header.headerSize = htonl(sizeof header);
    header.propertiesOffset = htonl(sizeof header);
    header.propertiesLength = htonl(static_cast<std::uint32_t>(properties.size()));
    header.subsystemHash = htonl(udevHash(device.subsystem));
    header.devtypeHash = devtype.empty() ? 0 : htonl(udevHash(devtype));

    iovec parts[2] = {{&header, sizeof header}, {properties.data(), properties.size()}};
    sockaddr_nl group{};
    group.nl_family = AF_NETLINK;
    group.nl_groups = kUdevGroup;
    msghdr message{};
    message.msg_name = &group;
    message.msg_namelen = sizeof group;
    message.msg_iov = parts;
    message.msg_iovlen = 2;
    // No listener is not a failure: the kernel says ECONNREFUSED then.
    if (::sendmsg(m_socket, &message, 0) < 0 && errno != ECONNREFUSED)
        return failure("the " + action + " event for " + device.devpath + " was not sent");
    return {};
}

} // namespace devsim::hidraw
