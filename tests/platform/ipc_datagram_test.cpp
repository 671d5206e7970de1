#include "platform/ipc_datagram.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

namespace {

platform::IpcMessage sample()
{
    platform::IpcMessage message;
    message.name = L"{4695579F-999A-41d4-9FAF-EFFCE93EBF16}";
    message.wParam = 0xFFFFFFFFFFFFFFFFULL;
    message.lParam = -2;
    message.copyDataId = 7;
    message.data = {1, 2, 3};
    return message;
}

} // namespace

TEST(IpcDatagram, CarriesEveryField)
{
    auto bytes = platform::encodeIpcDatagram(sample(), L"WorkTool", L"键盘");
    ASSERT_TRUE(bytes);
    auto decoded = platform::decodeIpcDatagram(*bytes);
    ASSERT_TRUE(decoded) << decoded.error().message;
    EXPECT_EQ(decoded->message.name, sample().name);
    EXPECT_EQ(decoded->message.wParam, sample().wParam);
    EXPECT_EQ(decoded->message.lParam, -2);
    EXPECT_EQ(decoded->message.copyDataId, 7u);
    EXPECT_EQ(decoded->message.data, sample().data);
    EXPECT_EQ(decoded->message.senderName, L"键盘");
    EXPECT_EQ(decoded->target, L"WorkTool");
}

TEST(IpcDatagram, SenderRefusesWhatNoReceiverWouldTake)
{
    auto message = sample();
    message.data.assign(platform::kMaxIpcDataSize, 0xAB);
    EXPECT_TRUE(platform::encodeIpcDatagram(message, L"", L"me"));
    message.data.push_back(0);
    auto tooLarge = platform::encodeIpcDatagram(message, L"", L"me");
    ASSERT_FALSE(tooLarge);
    EXPECT_EQ(tooLarge.error().code, platform::Error::Code::TooLarge);

    EXPECT_FALSE(platform::encodeIpcDatagram(sample(), std::wstring(1025, L'x'), L"me"));
    message = sample();
    message.name.clear(); // a registered message without a name
    EXPECT_FALSE(platform::encodeIpcDatagram(message, L"", L"me"));
    message.kind = platform::IpcMessage::Kind::CopyData;
    EXPECT_TRUE(platform::encodeIpcDatagram(message, L"peer", L"me"));
}

TEST(IpcDatagram, MalformedDatagramsAreRejected)
{
    const auto valid = platform::encodeIpcDatagram(sample(), L"peer", L"me").value();
    const std::size_t lengthOfData = 12;
    const struct {
        const char* what;
        std::function<void(std::vector<std::uint8_t>&)> damage;
    } cases[] = {
        {"empty", [](auto& b) { b.clear(); }},
        {"header cut short", [](auto& b) { b.resize(platform::kIpcHeaderSize - 1); }},
        {"one byte missing", [](auto& b) { b.pop_back(); }},
        {"one byte extra", [](auto& b) { b.push_back(0); }},
        {"wrong magic", [](auto& b) { b[0] = 'X'; }},
        {"unknown kind", [](auto& b) { b[4] = 9; }},
        {"name length past the end", [](auto& b) { b[6] = 0xFF; }},
        {"data length past the end",
         [&](auto& b) {
             const std::uint32_t size = 4;
             std::memcpy(b.data() + lengthOfData, &size, sizeof size);
         }},
        {"data length over the limit",
         [&](auto& b) {
             const std::uint32_t size = 0xFFFFFFF0u;
             std::memcpy(b.data() + lengthOfData, &size, sizeof size);
         }},
        {"copy data with a name", [](auto& b) { b[4] = 2; }},
    };
    for (const auto& item : cases) {
        auto bytes = valid;
        item.damage(bytes);
        EXPECT_FALSE(platform::decodeIpcDatagram(bytes)) << item.what;
    }
}
