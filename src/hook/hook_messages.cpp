#include "hook/hook_messages.h"

namespace hook {

const HookMessages& hookMessages()
{
    static const HookMessages messages = [] {
        std::array<platform::MessageId, kHookMessageNames.size()> ids{};
        for (std::size_t i = 0; i < ids.size(); ++i) {
            ids[i] = platform::registerMessage(kHookMessageNames[i]);
        }
        HookMessages m;
        m.keySingleKey = ids[0];
        m.keyHitKey = ids[1];
        m.keyKbMacro = ids[2];
        m.keyMsMacro = ids[3];
        m.keyKbMacroSingle = ids[4];
        m.keyKbMacroPrevious = ids[5];
        m.keyKbMacroLater = ids[6];
        m.mouSingleKey = ids[7];
        m.mouHitKey = ids[8];
        m.mouKbMacro = ids[9];
        m.mouMsMacro = ids[10];
        m.keyMsMacroSingle = ids[11];
        m.keyMsMacroPrevious = ids[12];
        m.keyMsMacroLater = ids[13];
        m.game = {ids[20], ids[21], ids[22], ids[23]};
        return m;
    }();
    return messages;
}

platform::MessageId keyboardMessageForMode(int mode)
{
    const auto& m = hookMessages();
    switch (mode) {
    case kModeKeyCapture:
        return m.keySingleKey;
    case kModeHitKey:
        return m.keyHitKey;
    case kModeMacroAppend:
        return m.keyKbMacro;
    case kModeMacroInsertBefore:
        return m.keyKbMacroPrevious;
    case kModeMacroInsertAfter:
        return m.keyKbMacroLater;
    case kModeMacroReplaceOne:
        return m.keyKbMacroSingle;
    case kModeMouseSingleKey:
        return m.mouSingleKey;
    case kModeMouseHitKey:
        return m.mouHitKey;
    case kModeMouseMacro:
        return m.mouKbMacro;
    default:
        return 0;
    }
}

platform::MessageId mouseMessageForMode(int mode)
{
    const auto& m = hookMessages();
    switch (mode) {
    case kModeMacroAppend:
        return m.keyMsMacro;
    case kModeMacroInsertBefore:
        return m.keyMsMacroPrevious;
    case kModeMacroInsertAfter:
        return m.keyMsMacroLater;
    case kModeMacroReplaceOne:
        return m.keyMsMacroSingle;
    default:
        return 0;
    }
}

} // namespace hook
