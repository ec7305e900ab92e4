#pragma once
// Entry encryption: the traditional zip cipher and WinZip-style AES
// (PBKDF2-HMAC-SHA1 key derivation, AES in counter mode with a little-endian
// counter, HMAC-SHA1 authentication code of 10 bytes).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace quarva::engine {

class TraditionalCipher {
public:
    explicit TraditionalCipher(const std::string& password);
    void decrypt(unsigned char* data, std::size_t n);
    void encrypt(unsigned char* data, std::size_t n);

private:
    void update(unsigned char c);
    unsigned char streamByte() const;
    std::uint32_t k0_ = 0x12345678, k1_ = 0x23456789, k2_ = 0x34567890;
};

// Salt length for strength 1/2/3 (AES-128/192/256).
std::size_t aesSaltLength(int strength);
constexpr std::size_t kAesAuthLength = 10;

class AesCipher {
public:
    // Derives the keys from password and salt; `verifier` receives the 2-byte
    // password verification value. Returns null when the strength is unknown or
    // the crypto library fails.
    static std::unique_ptr<AesCipher> create(const std::string& password, int strength, const unsigned char* salt,
                                             unsigned char verifier[2]);
    ~AesCipher();
    // Counter-mode transform; `encrypting` decides whether the authentication code
    // runs over the input (decrypting) or over the output (encrypting).
    bool decrypt(unsigned char* data, std::size_t n);
    bool encrypt(unsigned char* data, std::size_t n);
    // The first 10 bytes of the HMAC over all ciphertext.
    bool finish(unsigned char code[kAesAuthLength]);

private:
    AesCipher() = default;
    bool crypt(unsigned char* data, std::size_t n);
    struct State;
    std::unique_ptr<State> s_;
};

// Cryptographically random bytes; false when the generator fails.
bool randomFill(unsigned char* data, std::size_t n);

}  // namespace quarva::engine
