#include "engine/ZipCrypto.h"

#include <cstring>

namespace engine {

namespace {

constexpr uint32_t kMultiplier = 134775813u;

// The tables the key update runs on, made once at compile time:
//   crc[i]      the CRC-32 of one byte (zlib's table, reflected polynomial 0xEDB88320);
//   lowInverse  the byte whose crc entry has a given low byte (that low byte is a one-to-one
//               map of the index, so the inverse exists);
//   lowTimesM   the low byte of crc[i] times the multiplier of key 1.
struct Tables {
    uint32_t crc[256];
    uint8_t lowInverse[256];
    uint32_t lowTimesM[256];
};

constexpr Tables MakeTables() {
    Tables t{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        t.crc[i] = c;
        t.lowInverse[c & 0xFF] = static_cast<uint8_t>(i);
        t.lowTimesM[i] = (c & 0xFF) * kMultiplier;
    }
    return t;
}

constexpr Tables kTables = MakeTables();

static_assert(kTables.crc[1] == 0x77073096u && kTables.crc[255] == 0x2D02EF8Du,
              "the CRC-32 table of the zip format");

}  // namespace

ZipKeys::ZipKeys(const std::string& password)
    : key0_(0x12345678), key1_(0x23456789), key2_(0x34567890) {
    for (char c : password) Update(static_cast<uint8_t>(c));
}

void ZipKeys::Update(uint8_t plain) {
    key0_ = kTables.crc[(key0_ ^ plain) & 0xFF] ^ (key0_ >> 8);
    key1_ = (key1_ + (key0_ & 0xFF)) * kMultiplier + 1;
    key2_ = kTables.crc[(key2_ ^ (key1_ >> 24)) & 0xFF] ^ (key2_ >> 8);
}

// Each plain byte feeds the keys that decipher the next one, so this loop is a chain of
// dependent steps and its speed is that chain's length. The update above is rearranged so
// that as little as possible waits for the byte just deciphered:
//   - key 1 gains (low byte of the new key 0) * M, where that low byte is
//     crc[a].low ^ b with a = (key0 ^ plain) & 0xFF and b = (key0 >> 8) & 0xFF. The table is
//     linear (crc[x ^ y] = crc[x] ^ crc[y]), so crc[a].low ^ b = crc[a ^ lowInverse[b]].low,
//     and one lookup of lowTimesM gives the product; key1 * M + 1 and everything but the
//     deciphering byte in that index are known before the byte is;
//   - key 2's index is (key2 ^ (key1 >> 24)) & 0xFF; by the same linearity the new key 2 is
//     crc[key1 >> 24] ^ crc[key2 & 0xFF] ^ (key2 >> 8), and only the first term waits.
// Key 0 itself is off the chain: only its low byte feeds key 1, through the lookup above.
void ZipKeys::Decrypt(uint8_t* data, size_t count) {
    const Tables& t = kTables;
    uint32_t k0 = key0_, k1 = key1_, k2 = key2_;
    for (uint8_t* p = data; p != data + count; ++p) {
        const uint32_t cipher = *p;
        // Known before this byte is deciphered.
        const uint32_t partial = (k0 ^ t.lowInverse[(k0 >> 8) & 0xFF] ^ cipher) & 0xFF;
        const uint32_t k1Part = k1 * kMultiplier + 1;
        const uint32_t k2Part = t.crc[k2 & 0xFF] ^ (k2 >> 8);
        // The stream byte: bits 8 to 15 of t * (t ^ 1) with t = (key2 | 2) & 0xFFFF; those bits
        // of the product depend on the low 16 bits of t alone, so the mask is left out.
        const uint32_t k2Or2 = k2 | 2;
        const uint32_t stream = ((k2Or2 * (k2Or2 ^ 1)) >> 8) & 0xFF;
        const uint32_t plain = cipher ^ stream;
        *p = static_cast<uint8_t>(plain);
        k1 = k1Part + t.lowTimesM[partial ^ stream];
        k0 = t.crc[(k0 ^ plain) & 0xFF] ^ (k0 >> 8);
        k2 = t.crc[k1 >> 24] ^ k2Part;
    }
    key0_ = k0;
    key1_ = k1;
    key2_ = k2;
}

bool CheckPassword(const std::string& password, const uint8_t header[12], uint8_t check,
                   ZipKeys& keys) {
    ZipKeys trial(password);
    uint8_t plain[12];
    std::memcpy(plain, header, sizeof plain);
    trial.Decrypt(plain, sizeof plain);
    if (plain[11] != check) return false;
    keys = trial;
    return true;
}

}  // namespace engine
