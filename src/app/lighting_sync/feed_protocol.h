#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

// How other programs reach the main window's lighting: registered messages by name and
// copy-data blocks, over the platform's IPC. halvekctl speaks the same.
namespace app::lighting_sync {

// The endpoint the main window receives on.
inline constexpr std::wstring_view kMainWindowEndpoint = L"MainWnd";

// Game events: wParam 0 starts (remembering the effect to return to), 1 and 2 switch
// again; lParam is the effect mode to show.
inline constexpr std::array<std::wstring_view, 4> kGameMessageNames{L"Game_Start", L"Game_End",
                                                                    L"Game_Kill", L"Game_Death"};

// Copy-data ids (dwData). A spectrum packet is 500 little-endian signed 32-bit samples; an
// external colour block 6 such values. Only that much of a longer block is read, and a
// shorter one reads as if zero-filled.
inline constexpr std::uint64_t kSpectrumCopyDataId = 1;
inline constexpr std::uint64_t kExternalColourCopyDataId = 2;
inline constexpr std::size_t kSpectrumSamples = 500;
inline constexpr std::size_t kExternalColourValues = 6;

} // namespace app::lighting_sync
