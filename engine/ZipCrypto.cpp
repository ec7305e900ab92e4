#include "engine/ZipCrypto.h"

#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/params.h>
#include <openssl/rand.h>
#include <zlib.h>

#include <cstring>
#include <vector>

namespace quarva::engine {

namespace {
std::uint32_t crcStep(std::uint32_t crc, unsigned char c) {
    static const z_crc_t* table = get_crc_table();
    return table[(crc ^ c) & 0xff] ^ (crc >> 8);
}
}  // namespace

TraditionalCipher::TraditionalCipher(const std::string& password) {
    for (unsigned char c : password) update(c);
}

void TraditionalCipher::update(unsigned char c) {
    k0_ = crcStep(k0_, c);
    k1_ = (k1_ + (k0_ & 0xff)) * 134775813u + 1;
    k2_ = crcStep(k2_, static_cast<unsigned char>(k1_ >> 24));
}

unsigned char TraditionalCipher::streamByte() const {
    std::uint32_t t = (k2_ & 0xffff) | 2;
    return static_cast<unsigned char>(((t * (t ^ 1)) >> 8) & 0xff);
}

void TraditionalCipher::decrypt(unsigned char* data, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        unsigned char c = data[i] ^ streamByte();
        update(c);
        data[i] = c;
    }
}

void TraditionalCipher::encrypt(unsigned char* data, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        unsigned char c = data[i];
        data[i] = c ^ streamByte();
        update(c);
    }
}

std::size_t aesSaltLength(int strength) {
    switch (strength) {
    case 1: return 8;
    case 2: return 12;
    case 3: return 16;
    default: return 0;
    }
}

struct AesCipher::State {
    EVP_CIPHER_CTX* ecb = nullptr;
    EVP_MAC* mac = nullptr;
    EVP_MAC_CTX* macCtx = nullptr;
    unsigned char counter[16] = {};
    unsigned char stream[16] = {};
    std::size_t used = 16;  // bytes of `stream` consumed
    ~State() {
        EVP_CIPHER_CTX_free(ecb);
        EVP_MAC_CTX_free(macCtx);
        EVP_MAC_free(mac);
    }
};

AesCipher::~AesCipher() = default;

std::unique_ptr<AesCipher> AesCipher::create(const std::string& password, int strength, const unsigned char* salt,
                                             unsigned char verifier[2]) {
    std::size_t saltLen = aesSaltLength(strength);
    if (saltLen == 0) return nullptr;
    std::size_t keyLen = saltLen * 2;  // 16, 24, 32
    std::vector<unsigned char> derived(2 * keyLen + 2);
    if (PKCS5_PBKDF2_HMAC_SHA1(password.data(), int(password.size()), salt, int(saltLen), 1000, int(derived.size()),
                               derived.data()) != 1)
        return nullptr;
    std::unique_ptr<AesCipher> c(new AesCipher);
    c->s_ = std::make_unique<State>();
    State& s = *c->s_;
    const EVP_CIPHER* cipher = keyLen == 16 ? EVP_aes_128_ecb() : keyLen == 24 ? EVP_aes_192_ecb() : EVP_aes_256_ecb();
    s.ecb = EVP_CIPHER_CTX_new();
    if (!s.ecb || EVP_EncryptInit_ex(s.ecb, cipher, nullptr, derived.data(), nullptr) != 1) return nullptr;
    EVP_CIPHER_CTX_set_padding(s.ecb, 0);
    s.mac = EVP_MAC_fetch(nullptr, "HMAC", nullptr);
    if (!s.mac) return nullptr;
    s.macCtx = EVP_MAC_CTX_new(s.mac);
    char digest[] = "SHA1";
    OSSL_PARAM params[] = {OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, digest, 0),
                           OSSL_PARAM_construct_end()};
    if (!s.macCtx || EVP_MAC_init(s.macCtx, derived.data() + keyLen, keyLen, params) != 1) return nullptr;
    verifier[0] = derived[2 * keyLen];
    verifier[1] = derived[2 * keyLen + 1];
    return c;
}

bool AesCipher::crypt(unsigned char* data, std::size_t n) {
    State& s = *s_;
    for (std::size_t i = 0; i < n; ++i) {
        if (s.used == 16) {
            for (int k = 0; k < 16; ++k)  // little-endian counter, starting at 1
                if (++s.counter[k] != 0) break;
            int outLen = 0;
            if (EVP_EncryptUpdate(s.ecb, s.stream, &outLen, s.counter, 16) != 1 || outLen != 16) return false;
            s.used = 0;
        }
        data[i] ^= s.stream[s.used++];
    }
    return true;
}

bool AesCipher::decrypt(unsigned char* data, std::size_t n) {
    if (EVP_MAC_update(s_->macCtx, data, n) != 1) return false;
    return crypt(data, n);
}

bool AesCipher::encrypt(unsigned char* data, std::size_t n) {
    if (!crypt(data, n)) return false;
    return EVP_MAC_update(s_->macCtx, data, n) == 1;
}

bool AesCipher::finish(unsigned char code[kAesAuthLength]) {
    unsigned char full[64];
    std::size_t len = 0;
    if (EVP_MAC_final(s_->macCtx, full, &len, sizeof full) != 1 || len < kAesAuthLength) return false;
    std::memcpy(code, full, kAesAuthLength);
    return true;
}

bool randomFill(unsigned char* data, std::size_t n) { return RAND_bytes(data, int(n)) == 1; }

}  // namespace quarva::engine
