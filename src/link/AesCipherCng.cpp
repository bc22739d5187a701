#include <windows.h>
// bcrypt.h needs the types of windows.h first.
#include <bcrypt.h>

#include "base/Errors.h"
#include "link/AesCipher.h"

namespace orbiqa {

namespace {
bool Succeeded(NTSTATUS status) {
    return status >= 0;
}
}  // namespace

// ECB over single blocks without padding gives exactly the raw block cipher.
struct AesCipher::Impl {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_KEY_HANDLE key = nullptr;
    AesKey keyBytes{};

    ~Impl() {
        if (key) BCryptDestroyKey(key);
        if (algorithm) BCryptCloseAlgorithmProvider(algorithm, 0);
    }

    void Run(Block16& block, bool encrypt) {
        if (!key) throw OrbiqaError("AES: no key");
        Block16 out{};
        ULONG written = 0;
        const NTSTATUS status = encrypt ? BCryptEncrypt(key, block.data(), 16, nullptr, nullptr, 0,
                                                        out.data(), 16, &written, 0)
                                        : BCryptDecrypt(key, block.data(), 16, nullptr, nullptr, 0,
                                                        out.data(), 16, &written, 0);
        if (!Succeeded(status) || written != 16) throw OrbiqaError("AES: block operation failed");
        block = out;
    }
};

AesCipher::AesCipher() : impl_(std::make_unique<Impl>()) {
    if (!Succeeded(
            BCryptOpenAlgorithmProvider(&impl_->algorithm, BCRYPT_AES_ALGORITHM, nullptr, 0)))
        throw OrbiqaError("AES: the system cipher is not available");
    auto* mode = reinterpret_cast<PUCHAR>(const_cast<wchar_t*>(BCRYPT_CHAIN_MODE_ECB));
    if (!Succeeded(BCryptSetProperty(impl_->algorithm, BCRYPT_CHAINING_MODE, mode,
                                     static_cast<ULONG>(sizeof BCRYPT_CHAIN_MODE_ECB), 0)))
        throw OrbiqaError("AES: the system cipher refuses single blocks");
}

AesCipher::~AesCipher() = default;

void AesCipher::SetKey(const AesKey& key) {
    if (impl_->key && impl_->keyBytes == key) return;
    BCRYPT_KEY_HANDLE fresh = nullptr;
    // CNG copies the key bytes; passing no key-object buffer lets it hold the schedule itself.
    if (!Succeeded(BCryptGenerateSymmetricKey(impl_->algorithm, &fresh, nullptr, 0,
                                              const_cast<PUCHAR>(key.data()),
                                              static_cast<ULONG>(key.size()), 0)))
        throw OrbiqaError("AES: key set-up failed");
    if (impl_->key) BCryptDestroyKey(impl_->key);
    impl_->key = fresh;
    impl_->keyBytes = key;
}

void AesCipher::EncryptBlock(Block16& block) {
    impl_->Run(block, true);
}

void AesCipher::DecryptBlock(Block16& block) {
    impl_->Run(block, false);
}

void AesCipher::ReleaseThreadState() {
    // CNG keeps nothing per thread.
}

}  // namespace orbiqa
