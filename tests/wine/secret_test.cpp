// The secret store against an in-process local security authority, and against Wine's.
#include <windows.h>
#include <ntsecapi.h>

#include "svcsheet.h"
#include "guarded_buffer.h"
#include "lsa_double.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using test_support::guarded_buffer;
using test_support::lsa_double;

namespace {

std::string bytes_of(const std::wstring& text) {
    return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
}

class SecretStore : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(lsa.applied()); }
    // Close while the double still stands in, so no handle of it outlives the test.
    void TearDown() override { ShutdownSecret(); }

    lsa_double lsa;
};

} // namespace

TEST_F(SecretStore, ClosedStoreAnswersOneToReadsAndZeroToStores) {
    lsa.secrets[L"alpha"] = bytes_of(L"abc");
    guarded_buffer buffer(64);
    EXPECT_EQ(1, GetSecret(L"alpha", buffer.wide(), buffer.bytes()));
    EXPECT_EQ(0, StoreSecret(L"alpha", L"new"));
    EXPECT_TRUE(buffer.all_untouched());

    ASSERT_EQ(1, InitializeSecret());
    EXPECT_EQ(0, GetSecret(L"alpha", buffer.wide(), buffer.bytes()));
    EXPECT_EQ(1, ShutdownSecret());

    guarded_buffer after(64);
    EXPECT_EQ(1, GetSecret(L"alpha", after.wide(), after.bytes()));
    EXPECT_EQ(0, StoreSecret(L"alpha", L"new"));
    EXPECT_TRUE(after.all_untouched());
    EXPECT_EQ(bytes_of(L"abc"), lsa.secrets[L"alpha"]);
}

TEST_F(SecretStore, StoredValueReadsBackTerminatedAndIsKeptWithoutTerminator) {
    ASSERT_EQ(1, InitializeSecret());
    ASSERT_EQ(1, StoreSecret(L"svc_password", L"xyz"));
    EXPECT_EQ(bytes_of(L"xyz"), lsa.secrets[L"svc_password"]);

    guarded_buffer buffer(64);
    ASSERT_EQ(0, GetSecret(L"svc_password", buffer.wide(), buffer.bytes()));
    EXPECT_EQ(L"xyz", buffer.wide_text());
    EXPECT_EQ(0u, buffer.guard_writes());
}

TEST_F(SecretStore, SecretThatDoesNotFitWithItsTerminatorIsNotRead) {
    lsa.secrets[L"long"] = bytes_of(L"0123456789");
    ASSERT_EQ(1, InitializeSecret());

    // Twenty bytes would hold all ten characters but for the terminator.
    for (DWORD bytes : {8u, 9u, 20u, 21u}) {
        guarded_buffer small(bytes);
        EXPECT_EQ(2, GetSecret(L"long", small.wide(), small.bytes())) << bytes;
        EXPECT_TRUE(small.all_untouched()) << bytes;
    }
    guarded_buffer exact(22);
    ASSERT_EQ(0, GetSecret(L"long", exact.wide(), exact.bytes()));
    EXPECT_EQ(L"0123456789", exact.wide_text());
    EXPECT_EQ(0u, exact.guard_writes());
}

TEST_F(SecretStore, NullValueDeletesTheSecretAndEmptyValueKeepsAnEmptyOne) {
    ASSERT_EQ(1, InitializeSecret());
    ASSERT_EQ(1, StoreSecret(L"gone", L"value"));
    ASSERT_EQ(1, StoreSecret(L"empty", L""));

    EXPECT_EQ(1, StoreSecret(L"gone", nullptr));
    EXPECT_EQ(0u, lsa.secrets.count(L"gone"));
    guarded_buffer buffer(64);
    EXPECT_EQ(2, GetSecret(L"gone", buffer.wide(), buffer.bytes()));
    EXPECT_TRUE(buffer.all_untouched());

    guarded_buffer empty(64);
    ASSERT_EQ(0, GetSecret(L"empty", empty.wide(), empty.bytes()));
    EXPECT_EQ(L"", empty.wide_text());
}

TEST_F(SecretStore, NullOrTooSmallBufferIsRefusedWithoutWriting) {
    lsa.secrets[L"alpha"] = bytes_of(L"abc");
    ASSERT_EQ(1, InitializeSecret());
    EXPECT_EQ(2, GetSecret(L"alpha", nullptr, 64));
    for (DWORD bytes : {0u, 1u}) {
        guarded_buffer buffer(bytes);
        EXPECT_EQ(2, GetSecret(L"alpha", buffer.wide(), buffer.bytes())) << bytes;
        EXPECT_TRUE(buffer.all_untouched()) << bytes;
    }
    EXPECT_EQ(0, lsa.retrieve_calls);

    // Two bytes hold the terminator and nothing else: an empty secret, not "abc".
    guarded_buffer two(2);
    EXPECT_EQ(2, GetSecret(L"alpha", two.wide(), two.bytes()));
    EXPECT_TRUE(two.all_untouched());
    lsa.secrets[L"empty"] = bytes_of(L"");
    ASSERT_EQ(0, GetSecret(L"empty", two.wide(), two.bytes()));
    EXPECT_EQ(L"", two.wide_text());
    EXPECT_EQ(0u, two.guard_writes());
}

TEST_F(SecretStore, ShutdownTwiceReturnsOneBothTimesAndClosesOnce) {
    ASSERT_EQ(1, InitializeSecret());
    EXPECT_EQ(1, ShutdownSecret());
    EXPECT_EQ(1, ShutdownSecret());
    EXPECT_EQ(1, lsa.closes);
    EXPECT_EQ(0, lsa.bad_closes);
    EXPECT_EQ(0, lsa.open_handles());
}

TEST_F(SecretStore, SecondInitializeClosesTheFirstHandle) {
    ASSERT_EQ(1, InitializeSecret());
    ASSERT_EQ(1, InitializeSecret());
    EXPECT_EQ(1, lsa.closes);
    EXPECT_EQ(1, lsa.open_handles());
    ASSERT_EQ(1, StoreSecret(L"still", L"works"));
    EXPECT_EQ(1, ShutdownSecret());
    EXPECT_EQ(0, lsa.open_handles());
}

TEST_F(SecretStore, PolicyIsOpenedLocallyWithTheRecordsTheAuthorityExpects) {
    ASSERT_EQ(1, InitializeSecret());
    EXPECT_FALSE(lsa.opened_remote);
    ASSERT_TRUE(lsa.attributes_present);
    EXPECT_EQ(sizeof(LSA_OBJECT_ATTRIBUTES), lsa.attributes.Length);
    EXPECT_EQ(nullptr, lsa.attributes.RootDirectory);
    EXPECT_EQ(nullptr, lsa.attributes.ObjectName);
    EXPECT_EQ(0u, lsa.attributes.Attributes);
    EXPECT_EQ(nullptr, lsa.attributes.SecurityDescriptor);
    ASSERT_TRUE(lsa.quality_present);
    EXPECT_EQ(12u, lsa.quality.Length);
    EXPECT_EQ(SecurityImpersonation, lsa.quality.ImpersonationLevel);
    EXPECT_EQ(SECURITY_DYNAMIC_TRACKING, lsa.quality.ContextTrackingMode);
    EXPECT_EQ(FALSE, lsa.quality.EffectiveOnly);
}

TEST_F(SecretStore, ReadOnlyStoreReadsButRefusesToStore) {
    lsa.refuse_read_write = true;
    lsa.secrets[L"alpha"] = bytes_of(L"abc");
    ASSERT_EQ(1, InitializeSecret());
    EXPECT_EQ((std::vector<ACCESS_MASK>{0x207FE, 0x20006}), lsa.opens);

    EXPECT_EQ(0, StoreSecret(L"alpha", L"changed"));
    EXPECT_EQ(0, StoreSecret(L"alpha", nullptr));
    EXPECT_EQ(bytes_of(L"abc"), lsa.secrets[L"alpha"]);
    guarded_buffer buffer(64);
    ASSERT_EQ(0, GetSecret(L"alpha", buffer.wide(), buffer.bytes()));
    EXPECT_EQ(L"abc", buffer.wide_text());
}

TEST_F(SecretStore, RefusedOpensLeaveTheStoreClosed) {
    lsa.refuse_read_write = true;
    lsa.refuse_read_only = true;
    EXPECT_EQ(0, InitializeSecret());
    EXPECT_EQ((std::vector<ACCESS_MASK>{0x207FE, 0x20006}), lsa.opens);
    guarded_buffer buffer(64);
    EXPECT_EQ(1, GetSecret(L"alpha", buffer.wide(), buffer.bytes()));
    EXPECT_EQ(0, StoreSecret(L"alpha", L"value"));
    EXPECT_EQ(1, ShutdownSecret());
    EXPECT_EQ(0, lsa.closes + lsa.bad_closes);
}

TEST_F(SecretStore, CountedStringsBorrowTheCallersTextWithoutItsTerminator) {
    ASSERT_EQ(1, InitializeSecret());
    const wchar_t* name = L"svc_name";
    const wchar_t* value = L"hunter2";
    ASSERT_EQ(1, StoreSecret(name, value));
    EXPECT_EQ(L"svc_name", lsa.stored_name_text);
    EXPECT_EQ(16, lsa.stored_name.length);
    EXPECT_EQ(18, lsa.stored_name.maximum_length);
    EXPECT_EQ(name, lsa.stored_name.buffer);
    ASSERT_TRUE(lsa.stored_value.present);
    EXPECT_EQ(14, lsa.stored_value.length);
    EXPECT_EQ(16, lsa.stored_value.maximum_length);
    EXPECT_EQ(value, lsa.stored_value.buffer);

    ASSERT_EQ(1, StoreSecret(name, nullptr));
    EXPECT_FALSE(lsa.stored_value.present);

    ASSERT_EQ(1, StoreSecret(name, L""));
    ASSERT_TRUE(lsa.stored_value.present);
    EXPECT_EQ(0, lsa.stored_value.length);
    EXPECT_EQ(2, lsa.stored_value.maximum_length);

    wchar_t buffer[8];
    GetSecret(name, buffer, sizeof buffer);
    EXPECT_EQ(16, lsa.retrieved_name.length);
    EXPECT_EQ(18, lsa.retrieved_name.maximum_length);
    EXPECT_EQ(name, lsa.retrieved_name.buffer);
}

TEST_F(SecretStore, NamesAndValuesTooLongToCountAreRefusedBeforeThePlatform) {
    ASSERT_EQ(1, InitializeSecret());
    // 32766 characters: 65532 bytes, 65534 with the terminator, the longest that fits.
    const std::wstring longest(32766, L'x');
    const std::wstring too_long(32767, L'x');

    ASSERT_EQ(1, StoreSecret(L"big", longest.c_str()));
    EXPECT_EQ(65532, lsa.stored_value.length);
    EXPECT_EQ(65534, lsa.stored_value.maximum_length);

    const int stores = lsa.store_calls;
    EXPECT_EQ(0, StoreSecret(L"big", too_long.c_str()));
    EXPECT_EQ(0, StoreSecret(too_long.c_str(), L"value"));
    EXPECT_EQ(stores, lsa.store_calls);
    EXPECT_EQ(longest.size() * 2, lsa.secrets[L"big"].size());

    guarded_buffer buffer(64);
    const int retrievals = lsa.retrieve_calls;
    EXPECT_EQ(2, GetSecret(too_long.c_str(), buffer.wide(), buffer.bytes()));
    EXPECT_EQ(retrievals, lsa.retrieve_calls);
    EXPECT_TRUE(buffer.all_untouched());
}

TEST_F(SecretStore, RetrievedSecretsAreWipedAndFreed) {
    lsa.secrets[L"alpha"] = bytes_of(L"abc");
    lsa.secrets[L"long"] = bytes_of(L"0123456789");
    ASSERT_EQ(1, InitializeSecret());
    guarded_buffer big(64);
    guarded_buffer small(4);
    ASSERT_EQ(0, GetSecret(L"alpha", big.wide(), big.bytes()));
    ASSERT_EQ(2, GetSecret(L"long", small.wide(), small.bytes())); // read, but does not fit
    EXPECT_EQ(2, lsa.frees);
    EXPECT_EQ(0, lsa.frees_not_wiped);
    EXPECT_EQ(0, lsa.bad_frees);
    EXPECT_EQ(0, lsa.outstanding());
}
