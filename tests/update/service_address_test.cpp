#include "update/service_address.h"

#include "platform/settings_store.h"
#include "support/temp_dir.h"
#include "update/update_check.h"

#include <gtest/gtest.h>

namespace {

using update::AddressProblem;

TEST(ServiceAddress, OnlyAWebAddressWithAServerIsTaken)
{
    for (const std::wstring_view good :
         {L"https://updates.example/api/", L"HTTP://127.0.0.1:8080/api", L"https://h", L""})
        EXPECT_EQ(update::addressProblem(good), std::nullopt) << std::wstring(good);
    const std::pair<std::wstring_view, AddressProblem> bad[] = {
        {L"updates.example/api/", AddressProblem::NotWeb},
        {L"ftp://updates.example/", AddressProblem::NotWeb},
        {L"file:///etc/passwd", AddressProblem::NotWeb},
        {L"javascript:alert(1)", AddressProblem::NotWeb},
        {L"https://", AddressProblem::NoServer},
        {L"https:///api/", AddressProblem::NoServer},
        {L"http://:80/", AddressProblem::NoServer},
        {L"https://up dates.example/", AddressProblem::HasBlank},
        {L"https://updates.example/\napi", AddressProblem::HasBlank},
    };
    for (const auto& [address, problem] : bad)
        EXPECT_EQ(update::addressProblem(address), problem) << std::wstring(address);
    const std::wstring huge = L"https://a/" + std::wstring(update::kMaxServiceAddressLength, L'x');
    EXPECT_EQ(update::addressProblem(huge), AddressProblem::TooLong);
    // Every refusal has words of its own.
    for (const auto problem : {AddressProblem::NotWeb, AddressProblem::NoServer,
                               AddressProblem::HasBlank, AddressProblem::TooLong})
        EXPECT_FALSE(update::refusalTextId(problem).empty());
    EXPECT_EQ(update::trimmedAddress(L"  https://a/api/ \t"), L"https://a/api/");
}

TEST(ServiceAddress, AnAcceptedAddressIsTheSettingAndARefusedOneChangesNothing)
{
    testing_support::TempDir dir;
    const auto file = dir / "settings.conf";
    platform::SettingsStore store(file);
    ASSERT_TRUE(store.setInteger(L"LANGUAGE", 2052));
    ASSERT_TRUE(update::storeServiceAddress(file, L"https://updates.example/api/"));
    EXPECT_EQ(store.text(update::kBaseUrlSetting), L"https://updates.example/api/");
    EXPECT_FALSE(update::storeServiceAddress(file, L"updates.example"));
    EXPECT_EQ(store.text(update::kBaseUrlSetting), L"https://updates.example/api/");
    // Emptied: no service, and the other settings stay.
    ASSERT_TRUE(update::storeServiceAddress(file, L""));
    EXPECT_EQ(store.text(update::kBaseUrlSetting), std::nullopt);
    EXPECT_EQ(store.integer(L"LANGUAGE"), 2052);
}

} // namespace
