#include "devsim/hidraw/hidraw_ioctl.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <linux/hidraw.h>
#include <linux/input.h>
#include <string>

namespace devsim::hidraw {
namespace {

template <class T> void put(std::vector<std::uint8_t>& out, const T& value)
{
    out.resize(sizeof value);
    std::memcpy(out.data(), &value, sizeof value);
}

// A string request: the text with its terminating zero, cut to the caller's buffer.
int putText(std::vector<std::uint8_t>& out, const std::string& text, std::size_t outSize)
{
    const std::size_t length = std::min(text.size() + 1, outSize);
    out.assign(text.begin(), text.end());
    out.push_back(0);
    out.resize(length);
    return static_cast<int>(length);
}

} // namespace

int answerIoctl(const HidrawNode& node, unsigned request, std::size_t outSize,
                std::vector<std::uint8_t>& out)
{
    const auto& descriptor = node.interface().descriptor;
    const auto& identity = node.interface().identity;
    if (request == HIDIOCGRDESCSIZE) {
        put(out, static_cast<int>(descriptor.size()));
        return 0;
    }
    if (request == HIDIOCGRDESC) {
        hidraw_report_descriptor whole{};
        whole.size = static_cast<std::uint32_t>(
            std::min<std::size_t>(descriptor.size(), HID_MAX_DESCRIPTOR_SIZE));
        std::copy_n(descriptor.begin(), whole.size, whole.value);
        put(out, whole);
        return 0;
    }
    if (request == HIDIOCGRAWINFO) {
        hidraw_devinfo info{};
        info.bustype = BUS_USB;
        info.vendor = static_cast<std::int16_t>(identity.vendorId);
        info.product = static_cast<std::int16_t>(identity.productId);
        put(out, info);
        return 0;
    }
    // The string requests carry the caller's buffer length in their number.
    const unsigned withoutLength = request & ~(_IOC_SIZEMASK << _IOC_SIZESHIFT);
    if (withoutLength == HIDIOCGRAWNAME(0))
        return putText(out, node.rawName(), outSize);
    if (withoutLength == HIDIOCGRAWPHYS(0))
        return putText(out, node.physicalPath(), outSize);
    if (withoutLength == HIDIOCGRAWUNIQ(0))
        return putText(out, "", outSize);
    return -ENOTTY;
}

} // namespace devsim::hidraw
