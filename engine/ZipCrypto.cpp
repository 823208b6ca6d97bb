#include "engine/ZipCrypto.h"

#include <zlib.h>

#include <cstring>

namespace engine {

namespace {

uint32_t CrcByte(uint32_t crc, uint8_t b) {
    static const z_crc_t* table = get_crc_table();
    return static_cast<uint32_t>(table[(crc ^ b) & 0xFF]) ^ (crc >> 8);
}

}  // namespace

ZipKeys::ZipKeys(const std::string& password)
    : key0_(0x12345678), key1_(0x23456789), key2_(0x34567890) {
    for (char c : password) Update(static_cast<uint8_t>(c));
}

void ZipKeys::Update(uint8_t plain) {
    key0_ = CrcByte(key0_, plain);
    key1_ = (key1_ + (key0_ & 0xFF)) * 134775813u + 1;
    key2_ = CrcByte(key2_, static_cast<uint8_t>(key1_ >> 24));
}

void ZipKeys::Decrypt(uint8_t* data, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        const uint32_t temp = (key2_ | 2) & 0xFFFF;
        data[i] ^= static_cast<uint8_t>((temp * (temp ^ 1)) >> 8);
        Update(data[i]);
    }
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
