// Counted-string lengths and the secret copy: limits, cut-offs and buffer bounds.
#include "secret/secret_copy.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

using svcsheet::copy_secret;
using svcsheet::counted_length;
using svcsheet::measure_counted_string;

namespace {

// A secret of the given byte length: characters 'A', 'B', ... with an odd last byte.
std::vector<unsigned char> make_secret(std::size_t bytes) {
    std::vector<unsigned char> secret(bytes);
    for (std::size_t i = 0; i < bytes; ++i) {
        secret[i] = i % 2 == 0 ? static_cast<unsigned char>('A' + (i / 2) % 26) : 0;
    }
    return secret;
}

} // namespace

TEST(CountedString, LengthsCountBytesWithoutAndWithTheTerminator) {
    counted_length lengths = {1, 1};
    ASSERT_TRUE(measure_counted_string(u"", lengths));
    EXPECT_EQ(0, lengths.length);
    EXPECT_EQ(2, lengths.maximum_length);

    ASSERT_TRUE(measure_counted_string(u"svc_name", lengths));
    EXPECT_EQ(16, lengths.length);
    EXPECT_EQ(18, lengths.maximum_length);

    lengths = {1, 1};
    ASSERT_TRUE(measure_counted_string(static_cast<const char16_t*>(nullptr), lengths));
    EXPECT_EQ(0, lengths.length);
    EXPECT_EQ(0, lengths.maximum_length);
}

TEST(CountedString, LongestStringFitsAndOneMoreCharacterIsRefused) {
    std::u16string text(32766, u'x');
    counted_length lengths = {};
    ASSERT_TRUE(measure_counted_string(text.c_str(), lengths));
    EXPECT_EQ(65532, lengths.length);
    EXPECT_EQ(65534, lengths.maximum_length);

    text += u'x';
    lengths = {1, 1};
    EXPECT_FALSE(measure_counted_string(text.c_str(), lengths));
    EXPECT_EQ(0, lengths.length);
    EXPECT_EQ(0, lengths.maximum_length);
    EXPECT_FALSE(measure_counted_string(std::u16string(100000, u'y').c_str(), lengths));
}

TEST(CountedString, OverLongStringIsRefusedWithoutReadingPastTheLimit) {
    // No terminator anywhere: a scan that went on would leave the allocation.
    const std::size_t units = svcsheet::max_counted_characters + 1;
    std::unique_ptr<char16_t[]> text(new char16_t[units]);
    std::fill(text.get(), text.get() + units, u'z');
    counted_length lengths = {};
    EXPECT_FALSE(measure_counted_string(text.get(), lengths));
}

TEST(SecretCopy, ShortSecretIsCopiedWholeAndTerminated) {
    const char16_t secret[] = u"xyz";
    char16_t buffer[32];
    std::fill(std::begin(buffer), std::end(buffer), u'#');
    ASSERT_TRUE(copy_secret(secret, 6, buffer, sizeof buffer));
    EXPECT_EQ(std::u16string(u"xyz"), std::u16string(buffer));
    EXPECT_EQ(u'#', buffer[4]);
}

TEST(SecretCopy, SecretThatDoesNotFitWithItsTerminatorIsRefusedUntouched) {
    const char16_t secret[] = u"0123456789";
    char16_t buffer[11];
    std::fill(std::begin(buffer), std::end(buffer), u'#');
    EXPECT_FALSE(copy_secret(secret, 20, buffer, 8));
    EXPECT_FALSE(copy_secret(secret, 20, buffer, 20)); // all but the terminator
    EXPECT_FALSE(copy_secret(secret, 20, buffer, 21));
    for (char16_t c : buffer) {
        EXPECT_EQ(u'#', c);
    }
    ASSERT_TRUE(copy_secret(secret, 20, buffer, 22));
    EXPECT_EQ(std::u16string(u"0123456789"), std::u16string(buffer));
}

TEST(SecretCopy, BufferWithoutRoomForTheTerminatorIsRefusedUntouched) {
    const char16_t secret[] = u"abc";
    unsigned char buffer[4] = {7, 7, 7, 7};
    EXPECT_FALSE(copy_secret(secret, 6, buffer, 0));
    EXPECT_FALSE(copy_secret(secret, 6, buffer, 1));
    EXPECT_FALSE(copy_secret(secret, 6, nullptr, 64));
    for (unsigned char b : buffer) {
        EXPECT_EQ(7, b);
    }
}

TEST(SecretCopy, EmptyOrMissingSecretGivesAnEmptyString) {
    char16_t buffer[4] = {u'#', u'#', u'#', u'#'};
    ASSERT_TRUE(copy_secret(u"", 0, buffer, sizeof buffer));
    EXPECT_EQ(u'\0', buffer[0]);
    EXPECT_EQ(u'#', buffer[1]);

    buffer[0] = u'#';
    ASSERT_TRUE(copy_secret(nullptr, 40, buffer, sizeof buffer));
    EXPECT_EQ(u'\0', buffer[0]);
    EXPECT_EQ(u'#', buffer[1]);
}

// Every pairing of buffer and secret sizes, odd ones included, into a heap buffer of
// exactly the given size, so that a write outside it stops the run under ASan.
TEST(SecretCopy, CopiesTheWholeSecretOrNothingForEverySize) {
    for (std::size_t secret_bytes = 0; secret_bytes <= 72; ++secret_bytes) {
        const std::vector<unsigned char> secret = make_secret(secret_bytes);
        for (std::size_t buffer_bytes = 2; buffer_bytes <= 72; ++buffer_bytes) {
            std::unique_ptr<unsigned char[]> buffer(new unsigned char[buffer_bytes]);
            std::memset(buffer.get(), 0xEE, buffer_bytes);
            const std::size_t characters = secret_bytes / 2;
            const bool fits = (characters + 1) * 2 <= buffer_bytes;
            ASSERT_EQ(fits, copy_secret(secret.data(), secret_bytes, buffer.get(), buffer_bytes))
                << secret_bytes << " into " << buffer_bytes;
            if (!fits) {
                EXPECT_EQ(buffer_bytes, static_cast<std::size_t>(std::count(
                                            buffer.get(), buffer.get() + buffer_bytes, 0xEE)))
                    << secret_bytes << " into " << buffer_bytes;
                continue;
            }
            // Every whole character of the secret, then the terminator.
            EXPECT_TRUE(characters == 0 ||
                        std::memcmp(buffer.get(), secret.data(), characters * 2) == 0)
                << secret_bytes << " into " << buffer_bytes;
            EXPECT_EQ(0, buffer[characters * 2]) << secret_bytes << " into " << buffer_bytes;
            EXPECT_EQ(0, buffer[characters * 2 + 1]) << secret_bytes << " into " << buffer_bytes;
        }
    }
}
