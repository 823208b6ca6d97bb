// The engine's deciphering, compiled into the test program, against the fixture writer's
// enciphering, which updates the keys byte by byte in the plain way. The engine's loop is
// rearranged for speed; any slip in its tables or its order shows as a wrong byte here.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "engine/ZipCrypto.h"
#include "tests/fixtures/ZipWriter.h"

using fixtures::Bytes;

namespace {

Bytes RandomBytes(size_t size, uint32_t seed) {
    std::mt19937 random(seed);
    Bytes out(size);
    for (uint8_t& b : out) b = static_cast<uint8_t>(random());
    return out;
}

// The keys `password` leaves after the 12-byte header of `cipher`, checked against `check`.
bool KeysAfterHeader(const std::string& password, const Bytes& cipher, uint8_t check,
                     engine::ZipKeys& keys) {
    return engine::CheckPassword(password, cipher.data(), check, keys);
}

}  // namespace

TEST(ZipCryptoTest, DeciphersWhatTheWriterEnciphersWholeAndInAnyPieces) {
    const Bytes plain = RandomBytes(300007, 17);
    const std::vector<std::string> passwords = {"a", "Qu1ll0ra#2010", "\xE4\xF6\xFC\xDF \x80\xFF",
                                                std::string(81, 'p')};
    for (const std::string& password : passwords) {
        const Bytes cipher = fixtures::TraditionalEncrypt(plain, password, 0x5C, 3);
        ASSERT_EQ(cipher.size(), plain.size() + 12);

        engine::ZipKeys whole("");
        ASSERT_TRUE(KeysAfterHeader(password, cipher, 0x5C, whole)) << password;
        Bytes once(cipher.begin() + 12, cipher.end());
        whole.Decrypt(once.data(), once.size());
        EXPECT_TRUE(once == plain) << password;

        // Pieces of every awkward length, as reads and chunk boundaries cut the data.
        engine::ZipKeys pieces("");
        ASSERT_TRUE(KeysAfterHeader(password, cipher, 0x5C, pieces));
        Bytes cut(cipher.begin() + 12, cipher.end());
        size_t at = 0;
        for (size_t length : {size_t{0}, size_t{1}, size_t{2}, size_t{3}, size_t{255}, size_t{4096},
                              size_t{65537}}) {
            pieces.Decrypt(cut.data() + at, length);
            at += length;
        }
        pieces.Decrypt(cut.data() + at, cut.size() - at);
        EXPECT_TRUE(cut == plain) << password;
    }
}

TEST(ZipCryptoTest, AWrongPasswordFailsTheCheckByteAndLeavesTheKeysAsTheyWere) {
    const Bytes plain = RandomBytes(1000, 5);
    const Bytes cipher = fixtures::TraditionalEncrypt(plain, "right", 0xA7, 9);
    engine::ZipKeys keys("");
    ASSERT_TRUE(KeysAfterHeader("right", cipher, 0xA7, keys));
    // The right password with another check byte, and wrong passwords, are refused; the keys
    // the right one set up are still the ones in use.
    EXPECT_FALSE(KeysAfterHeader("right", cipher, 0xA8, keys));
    for (const char* wrong : {"Right", "righ", "right ", "wrong"})
        EXPECT_FALSE(KeysAfterHeader(wrong, cipher, 0xA7, keys)) << wrong;
    Bytes data(cipher.begin() + 12, cipher.end());
    keys.Decrypt(data.data(), data.size());
    EXPECT_TRUE(data == plain);
}
