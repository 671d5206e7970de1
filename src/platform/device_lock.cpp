#include "platform/device_lock.h"

#include "platform/text.h"

#include <cctype>
#include <charconv>
#include <cstdio>

namespace platform {

std::string describeHolder(const std::optional<LockHolder>& holder)
{
    if (!holder || holder->processId <= 0)
        return "device held by another program";
    const std::string name = holder->program.empty() ? "a program" : holder->program;
    return "device held by " + name + " (pid " + std::to_string(holder->processId) + ")";
}

std::optional<LockHolder> parseLockHolder(std::string_view text)
{
    const auto space = text.find(' ');
    if (space == std::string_view::npos)
        return std::nullopt;
    LockHolder holder;
    const auto [end, error] = std::from_chars(text.data(), text.data() + space, holder.processId);
    if (error != std::errc{} || end != text.data() + space || holder.processId <= 0)
        return std::nullopt;
    std::string_view program = text.substr(space + 1);
    if (const auto newline = program.find('\n'); newline != std::string_view::npos)
        program = program.substr(0, newline);
    for (const char c : program) {
        if (static_cast<unsigned char>(c) < 0x20)
            return std::nullopt;
    }
    holder.program = std::string(program);
    return holder;
}

std::string deviceLockName(std::wstring_view identity)
{
    // A readable part for people looking into the folder, and a hash of the whole identity
    // so that two identities that read alike never share a lock.
    constexpr std::size_t kReadable = 48;
    const std::string bytes = toUtf8(identity);
    std::string readable;
    std::uint64_t hash = 1469598103934665603ull; // FNV-1a
    for (const char c : bytes) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
        const auto u = static_cast<unsigned char>(c);
        const char kept = std::isalnum(u) ? static_cast<char>(std::tolower(u)) : '-';
        if (readable.size() < kReadable &&
            !(kept == '-' && (readable.empty() || readable.back() == '-')))
            readable += kept;
    }
    char tail[24];
    std::snprintf(tail, sizeof tail, "%016llx", static_cast<unsigned long long>(hash));
    return "device-" + readable + (readable.empty() || readable.back() == '-' ? "" : "-") + tail +
           ".lock";
}

} // namespace platform
