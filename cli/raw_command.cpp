#include "command_registry.h"
#include "keyboard_session.h"

#include "device/protocol/frame.h"
#include "platform/hex.h"

#include <cstdio>

namespace {

constexpr const char* kUsage =
    R"(Usage: halvekctl [--simulate[=MODE]] [--trace] raw CMD [--offset N] [--length N] [--data HEX]

Sends one command frame and prints the reply. CMD, N: decimal or 0x-prefixed hex.
--data gives the payload (at most 56 bytes, hex digits, spaces allowed); the frame's length
byte is the payload's size unless --length says otherwise (for reads). The exit status is 0
when the reply maps to success, 1 otherwise, with the status code named.
)";

bool parseHex(const std::string& text, std::vector<std::uint8_t>& bytes)
{
    std::vector<std::uint8_t> digits;
    for (const char c : text) {
        if (c == ' ' || c == ':' || c == ',')
            continue;
        const auto digit = platform::hexDigit(c);
        if (!digit)
            return false;
        digits.push_back(static_cast<std::uint8_t>(*digit));
    }
    if (digits.size() % 2 != 0)
        return false;
    for (std::size_t i = 0; i < digits.size(); i += 2)
        bytes.push_back(static_cast<std::uint8_t>(digits[i] << 4 | digits[i + 1]));
    return true;
}

int sendRaw(const cli::GlobalOptions& options, const std::vector<std::string>& args)
{
    unsigned long command = 0;
    unsigned long offset = 0;
    unsigned long length = 0;
    bool lengthGiven = false;
    std::vector<std::uint8_t> data;
    bool haveCommand = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool takesValue = arg == "--offset" || arg == "--length" || arg == "--data";
        if (takesValue && i + 1 >= args.size()) {
            std::fprintf(stderr, "halvekctl raw: %s needs a value\n", arg.c_str());
            return 2;
        }
        bool ok = true;
        if (arg == "--offset") {
            ok = cli::parseNumber(args[++i], 0xFFFF, offset);
        } else if (arg == "--length") {
            ok = cli::parseNumber(args[++i], 0xFF, length);
            lengthGiven = true;
        } else if (arg == "--data") {
            ok = parseHex(args[++i], data) && data.size() <= protocol::kMaxPayload;
        } else if (!haveCommand && arg.rfind("--", 0) != 0) {
            ok = cli::parseNumber(arg, 0xFF, command);
            haveCommand = true;
        } else {
            std::fprintf(stderr, "halvekctl raw: unexpected argument '%s'\n", arg.c_str());
            return 2;
        }
        if (!ok) {
            std::fprintf(stderr, "halvekctl raw: bad value for %s (see --help)\n", arg.c_str());
            return 2;
        }
    }
    if (!haveCommand) {
        std::fputs("halvekctl raw: which command? (see --help)\n", stderr);
        return 2;
    }

    protocol::Frame request = protocol::buildFrame(static_cast<std::uint8_t>(command),
                                                   static_cast<std::uint16_t>(offset), data);
    if (lengthGiven) {
        request[protocol::field::kLength] = static_cast<std::uint8_t>(length);
        protocol::sealFrame(request);
    }
    cli::KeyboardSession session(options, "raw");
    if (!session.open())
        return session.exitStatus();
    protocol::Frame reply{};
    std::uint32_t bytesRead = 0;
    const auto exchange = session.channel().Transact(request, reply, bytesRead);
    const auto status = protocol::mapReply(exchange, reply);
    session.flushTrace();
    std::printf("Request:\n%sReply (%u bytes):\n%sStatus: %s\n", cli::hexBytes(request).c_str(),
                bytesRead, cli::hexBytes(reply).c_str(), protocol::describe(status).c_str());
    if (status != protocol::Status::Ok)
        return session.fail("command " + std::to_string(command), status);
    return 0;
}

[[maybe_unused]] const bool registered = cli::registerCommand({
    "raw",
    "send one command frame to the keyboard and print the reply",
    kUsage,
    sendRaw,
});

} // namespace
