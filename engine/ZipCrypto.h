// The zip standard's traditional encryption, decrypting side: three keys updated with every
// plain byte, and the 12-byte header in front of each entry's data whose last byte checks the
// password.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace engine {

class ZipKeys {
public:
    explicit ZipKeys(const std::string& password);
    // Deciphers the bytes in place. Deciphering a run in pieces gives the same bytes as in one.
    void Decrypt(uint8_t* data, size_t count);

private:
    void Update(uint8_t plain);
    uint32_t key0_, key1_, key2_;
};

// Deciphers the 12-byte encryption header with the password: true and the keys ready for the
// entry's data when its last byte equals `check`.
bool CheckPassword(const std::string& password, const uint8_t header[12], uint8_t check,
                   ZipKeys& keys);

}  // namespace engine
