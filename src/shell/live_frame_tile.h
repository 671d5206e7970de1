#pragma once

#include <string_view>

namespace shell {

// A device's tile as the device sees it: the device wakes it when its lights move again
// after standing still, so the tile's frame timer can sleep meanwhile.
class LiveFrameTile {
public:
    // The name a tile control answers to in GetInterface.
    static constexpr std::wstring_view kInterface = L"LiveFrameTile";

    virtual void resumeLiveFrames() = 0;

protected:
    ~LiveFrameTile() = default;
};

} // namespace shell
