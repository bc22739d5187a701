#pragma once
// One AES-128 cipher instance working on single 16-byte blocks (no chaining, no padding), over
// the system's own cipher (CNG on Windows, OpenSSL elsewhere).
#include <array>
#include <cstdint>
#include <memory>

namespace orbiqa {

using Block16 = std::array<std::uint8_t, 16>;
using AesKey = std::array<std::uint8_t, 16>;

class AesCipher {
public:
    AesCipher();
    ~AesCipher();
    AesCipher(const AesCipher&) = delete;
    AesCipher& operator=(const AesCipher&) = delete;

    /// Sets up the key schedule; the key is kept so that a repeated set-up with the same key is
    /// free. Throws OrbiqaError if the cipher refuses.
    void SetKey(const AesKey& key);

    /// Enciphers or deciphers one block in place. SetKey must have been called.
    void EncryptBlock(Block16& block);
    void DecryptBlock(Block16& block);

    /// Frees what the cipher library keeps for the calling thread. A worker thread that set up
    /// ciphers calls it before it ends: the library frees that state only when the thread has
    /// completely exited, which Qt's threads do after wait() has returned, so at process exit it
    /// could still be alive and be lost. Harmless when the thread has none.
    static void ReleaseThreadState();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace orbiqa
