#pragma once

#include "device/protocol/frame.h"

#include <sstream>
#include <string>

// A frame written as hex bytes; the rest of its 64 bytes are zero.
inline protocol::Frame frameFromHex(const std::string& hex)
{
    protocol::Frame frame{};
    std::istringstream in(hex);
    unsigned value = 0;
    std::size_t i = 0;
    while (i < frame.size() && in >> std::hex >> value)
        frame[i++] = static_cast<std::uint8_t>(value);
    return frame;
}
