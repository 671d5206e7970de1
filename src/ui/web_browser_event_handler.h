#pragma once

#include <cstdint>

// The callbacks a hosted web browser would make. No browser control exists here; the
// interface keeps the windows that implement it as they are.
class CWebBrowserEventHandler {
public:
    static constexpr long E_NOTIMPL_RESULT = static_cast<long>(0x80004001);
    // Flags ORed into the host information: no 3-D border, no scroll bars, themed.
    static constexpr std::uint32_t kHostInfoFlags = 0x0020000C;

    virtual ~CWebBrowserEventHandler() = default;
    virtual long GetHostInfo(std::uint32_t& flags)
    {
        flags |= kHostInfoFlags;
        return 0;
    }
    virtual long ShowContextMenu() { return E_NOTIMPL_RESULT; }
    virtual long TranslateAccelerator() { return E_NOTIMPL_RESULT; }
    virtual long GetExternal() { return E_NOTIMPL_RESULT; }
    virtual void BeforeNavigate2() {}
    virtual void NavigateComplete2() {}
    virtual void NavigateError() {}
    virtual void DocumentComplete() {}
    virtual void NewWindow3() {}
    virtual void TitleChange() {}
};
