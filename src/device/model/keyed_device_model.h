#pragma once

// The families with assignable keys (keyboard, mouse) share one key map and macro write;
// a family gives its layout: how many key positions its picture has, what a position
// without a key slot holds, and the sequences that carry the blocks to its device (which
// size the blocks from the device's information block).
//
// Threads: the owner's (UI) thread.

#include "device/model/usb_device_model.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace model {

struct KeyFamilyLayout {
    std::size_t positions = 0;
    std::uint8_t noSlot = kUnmapped;
    protocol::Status (*writeKeyMap)(CDeviceProtocol&, protocol::InfoBlock&,
                                    std::span<const std::uint8_t>) = nullptr;
    protocol::MacroWrite (*writeMacros)(CDeviceProtocol&, protocol::InfoBlock&,
                                        std::span<const protocol::Macro>) = nullptr;
};

class KeyedDeviceModel : public UsbDeviceModel {
public:
    explicit KeyedDeviceModel(const KeyFamilyLayout& layout);

    const KeyFamilyLayout& layout() const { return m_layout; }
    // The device's copy of the profile's key list.
    const std::vector<profile::KeyAssignment>& keys() const { return m_keys; }
    void setKeys(std::vector<profile::KeyAssignment> keys) { m_keys = std::move(keys); }
    // False while the macro library exists but cannot be read: macro references are then
    // left alone.
    bool isMacroLibraryReadable() const { return m_macroLibraryReadable; }

    std::vector<int> CollectMacros() override;
    // Bank 0 only. Positions without a slot and past the key list keep what the device's
    // layout block holds.
    protocol::Status WriteKeyMap(int bank,
                                 const std::vector<profile::KeyAssignment>& keys) override;
    protocol::Status WriteProfileKeyMap(int bank) override;
    protocol::MacroWrite WriteMacros(const std::vector<int>& macros) override;
    // Keys naming a macro the library no longer has become default keys in the profile.
    void DropStaleMacroKeys() override;

protected:
    // The key layout block of the last full read.
    virtual const protocol::KeyBlock& keyLayoutBlock() const = 0;
    std::vector<profile::KeyAssignment>& mutableKeys() { return m_keys; }
    // The number of macros in the library; notes whether it could be read.
    std::size_t macroCount();

private:
    KeyFamilyLayout m_layout;
    std::vector<profile::KeyAssignment> m_keys;
    bool m_macroLibraryReadable = true;
};

} // namespace model
