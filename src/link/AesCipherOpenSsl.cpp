#include "link/AesCipher.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>

#include "base/Errors.h"

namespace orbiqa {

struct AesCipher::Impl {
    EVP_CIPHER_CTX* enc = nullptr;
    EVP_CIPHER_CTX* dec = nullptr;
    AesKey key{};
    bool keyed = false;

    ~Impl() {
        EVP_CIPHER_CTX_free(enc);
        EVP_CIPHER_CTX_free(dec);
    }
};

AesCipher::AesCipher() : impl_(std::make_unique<Impl>()) {
    impl_->enc = EVP_CIPHER_CTX_new();
    impl_->dec = EVP_CIPHER_CTX_new();
    if (!impl_->enc || !impl_->dec) throw OrbiqaError("AES: out of memory");
}

AesCipher::~AesCipher() = default;

void AesCipher::SetKey(const AesKey& key) {
    if (impl_->keyed && impl_->key == key) return;
    if (EVP_EncryptInit_ex(impl_->enc, EVP_aes_128_ecb(), nullptr, key.data(), nullptr) != 1 ||
        EVP_DecryptInit_ex(impl_->dec, EVP_aes_128_ecb(), nullptr, key.data(), nullptr) != 1)
        throw OrbiqaError("AES: key set-up failed");
    EVP_CIPHER_CTX_set_padding(impl_->enc, 0);
    EVP_CIPHER_CTX_set_padding(impl_->dec, 0);
    impl_->key = key;
    impl_->keyed = true;
}

namespace {
void RunBlock(EVP_CIPHER_CTX* ctx, Block16& block, bool encrypt) {
    Block16 out{};
    int len = 0;
    const int ok = encrypt ? EVP_EncryptUpdate(ctx, out.data(), &len, block.data(), 16)
                           : EVP_DecryptUpdate(ctx, out.data(), &len, block.data(), 16);
    if (ok != 1 || len != 16) throw OrbiqaError("AES: block operation failed");
    block = out;
}
}  // namespace

void AesCipher::EncryptBlock(Block16& block) {
    if (!impl_->keyed) throw OrbiqaError("AES: no key");
    RunBlock(impl_->enc, block, true);
}

void AesCipher::DecryptBlock(Block16& block) {
    if (!impl_->keyed) throw OrbiqaError("AES: no key");
    RunBlock(impl_->dec, block, false);
}

void AesCipher::ReleaseThreadState() {
    OPENSSL_thread_stop();
}

}  // namespace orbiqa
