#pragma once

// Certificate authorities trusted beside the system's: WinHTTP has no place for them, so the
// server's chain is checked here, before the request goes out.

#include "platform/result.h"

#include <filesystem>
#include <functional>
#include <string>
#include <windows.h>
// wincrypt.h needs the types of windows.h first.
#include <wincrypt.h>
#include <winhttp.h>

namespace platform {

class ExtraAuthorities {
public:
    // The PEM certificates of `file`; an error when it cannot be read or holds none.
    static Result<ExtraAuthorities> load(const std::filesystem::path& file);

    ExtraAuthorities(ExtraAuthorities&& other) noexcept;
    ExtraAuthorities& operator=(ExtraAuthorities&&) = delete;
    ~ExtraAuthorities();

    // Lets the handshake through an authority the system does not know, and has WinHTTP ask
    // check() as the request is about to go out, where its chain must reach the system's
    // authorities or these. `check` must outlive the request's calls.
    struct Check {
        const ExtraAuthorities* authorities = nullptr;
        std::wstring host;
        // Ends the request; the client's, which knows who else may close the handle.
        std::function<void(HINTERNET)> cancel;
        bool refused = false; // the answer, if one comes anyway, is not taken
        std::string why;
    };
    bool watch(HINTERNET request, Check& check) const;
    // The request's server chain for `host`: trusted by the system or ending in one of these.
    bool trusts(HINTERNET request, const std::wstring& host, std::string& why) const;

private:
    explicit ExtraAuthorities(HCERTSTORE store) : m_store(store) {}
    HCERTSTORE m_store = nullptr;
};

} // namespace platform
