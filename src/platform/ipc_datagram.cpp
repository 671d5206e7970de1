#include "platform/ipc_datagram.h"

#include "platform/text.h"

#include <cstring>

namespace platform {
namespace {

constexpr std::uint8_t kMagic[4] = {'H', 'V', 'K', 1};

template <class T> void put(std::vector<std::uint8_t>& out, std::size_t offset, T value)
{
    std::memcpy(out.data() + offset, &value, sizeof value);
}

template <class T> T get(std::span<const std::uint8_t> bytes, std::size_t offset)
{
    T value{};
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

Error malformed(std::string why)
{
    return makeError(Error::Code::InvalidInput, std::move(why));
}

} // namespace

Result<std::vector<std::uint8_t>>
encodeIpcDatagram(const IpcMessage& message, std::wstring_view target, std::wstring_view sender)
{
    const std::string name = toUtf8(message.name);
    const std::string targetUtf8 = toUtf8(target);
    const std::string senderUtf8 = toUtf8(sender);
    if (message.data.size() > kMaxIpcDataSize)
        return makeError(Error::Code::TooLarge, "ipc: " + std::to_string(message.data.size()) +
                                                    " bytes of data, more than " +
                                                    std::to_string(kMaxIpcDataSize));
    if (name.size() > kMaxIpcNameBytes || targetUtf8.size() > kMaxIpcNameBytes ||
        senderUtf8.size() > kMaxIpcNameBytes)
        return makeError(Error::Code::InvalidInput,
                         "ipc: name longer than " + std::to_string(kMaxIpcNameBytes) + " bytes");
    if ((message.kind == IpcMessage::Kind::Registered) == name.empty())
        return makeError(Error::Code::InvalidInput,
                         "ipc: a registered message needs a name, copy data has none");

    std::vector<std::uint8_t> out(kIpcHeaderSize + name.size() + targetUtf8.size() +
                                  senderUtf8.size() + message.data.size());
    std::memcpy(out.data(), kMagic, sizeof kMagic);
    out[4] = static_cast<std::uint8_t>(message.kind);
    out[5] = 0;
    put(out, 6, static_cast<std::uint16_t>(name.size()));
    put(out, 8, static_cast<std::uint16_t>(targetUtf8.size()));
    put(out, 10, static_cast<std::uint16_t>(senderUtf8.size()));
    put(out, 12, static_cast<std::uint32_t>(message.data.size()));
    put(out, 16, message.wParam);
    put(out, 24, message.lParam);
    put(out, 32, message.copyDataId);
    std::size_t offset = kIpcHeaderSize;
    for (const std::string* text : {&name, &targetUtf8, &senderUtf8}) {
        std::memcpy(out.data() + offset, text->data(), text->size());
        offset += text->size();
    }
    if (!message.data.empty())
        std::memcpy(out.data() + offset, message.data.data(), message.data.size());
    return out;
}

Result<IpcDatagram> decodeIpcDatagram(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() < kIpcHeaderSize)
        return malformed("shorter than the header");
    if (std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0)
        return malformed("not a message of this program");
    const auto kind = static_cast<IpcMessage::Kind>(bytes[4]);
    if (kind != IpcMessage::Kind::Registered && kind != IpcMessage::Kind::CopyData)
        return malformed("unknown kind " + std::to_string(bytes[4]));
    const std::size_t nameSize = get<std::uint16_t>(bytes, 6);
    const std::size_t targetSize = get<std::uint16_t>(bytes, 8);
    const std::size_t senderSize = get<std::uint16_t>(bytes, 10);
    const std::size_t dataSize = get<std::uint32_t>(bytes, 12);
    if (nameSize > kMaxIpcNameBytes || targetSize > kMaxIpcNameBytes ||
        senderSize > kMaxIpcNameBytes)
        return malformed("name too long");
    if (dataSize > kMaxIpcDataSize)
        return makeError(Error::Code::TooLarge,
                         "data of " + std::to_string(dataSize) + " bytes is too large");
    // All sizes are bounded above, so this sum cannot overflow.
    if (kIpcHeaderSize + nameSize + targetSize + senderSize + dataSize != bytes.size())
        return malformed("lengths do not add up to the " + std::to_string(bytes.size()) +
                         " bytes received");
    if ((kind == IpcMessage::Kind::Registered) == (nameSize == 0))
        return malformed("name does not fit the kind");

    IpcDatagram datagram;
    auto& message = datagram.message;
    message.kind = kind;
    message.wParam = get<std::uint64_t>(bytes, 16);
    message.lParam = get<std::int64_t>(bytes, 24);
    message.copyDataId = get<std::uint64_t>(bytes, 32);
    auto text = [&bytes](std::size_t offset, std::size_t size) {
        return fromUtf8(
            std::string_view(reinterpret_cast<const char*>(bytes.data()) + offset, size));
    };
    std::size_t offset = kIpcHeaderSize;
    message.name = text(offset, nameSize);
    offset += nameSize;
    datagram.target = text(offset, targetSize);
    offset += targetSize;
    message.senderName = text(offset, senderSize);
    offset += senderSize;
    message.data.assign(bytes.begin() + static_cast<std::ptrdiff_t>(offset), bytes.end());
    return datagram;
}

} // namespace platform
