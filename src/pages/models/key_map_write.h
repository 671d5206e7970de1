#pragma once

// A profile's keys reach the device in two blocks: the macros they use, then the key map that
// names those macros by slot. Every page that writes keys goes through here, so none sends a
// key map after the device refused its macros: the keys would run whatever the slots held.

#include "device/protocol/status.h"
#include "pages/models/profile_panel_model.h"

#include <optional>
#include <vector>

namespace model {
class UsbDeviceModel;
}

namespace pages {

// What became of the macro block.
enum class MacroBlock {
    Written,     // the device took it, or no key uses a macro
    DoNotFit,    // larger than the device's macro memory: neither it nor the key map was sent
    NotPrepared, // could not be built: not sent, and the key map went all the same
    Refused,     // the device did not take it (macroStatus says how): the key map was not sent
};

struct KeyMapWrite {
    std::vector<int> macrosUsed; // the library indices the keys use, as written
    MacroBlock macros = MacroBlock::Written;
    protocol::Status macroStatus = protocol::Status::Ok; // the device's answer to the block
    int overflow = 0;                       // DoNotFit: the excess in four-byte events, plus one
    std::optional<protocol::Status> keyMap; // the device's answer to the key map; nullopt: not sent

    bool isKeyMapWritten() const { return keyMap == protocol::Status::Ok; }
    bool isWritten() const { return macros == MacroBlock::Written && isKeyMapWritten(); }
    // Each block's status as the pending marker records it: a block not sent is NothingToWrite,
    // except a key map held back by a refusal, which takes the macros' reason.
    protocol::Status macroBlockStatus() const;
    protocol::Status keyMapStatus() const;
    // The first of the two that failed, else Ok.
    protocol::Status status() const;
    // Why the macros or the keys did not reach the device, in words; nullopt when both did.
    std::optional<PanelMessage> message() const;
};

// Writes the macros the device's keys use (nothing when none does), then its key map (bank 0),
// unless the macros did not fit or the device did not take them. Nothing is saved.
[[nodiscard]] KeyMapWrite writeMacrosThenKeys(model::UsbDeviceModel& device);

} // namespace pages
