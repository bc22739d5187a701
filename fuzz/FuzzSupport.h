#pragma once
// Small helpers shared by the fuzz targets: a cursor over the fuzzer's bytes, a scratch file for
// the loaders that take a file name, and a check that stops the run with a message.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace orbiqa::fuzz {

/// A property that must hold whatever the input: a failure is reported like a crash, so that
/// libFuzzer keeps the input that broke it.
#define FUZZ_CHECK(condition)                                                                  \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (0)

/// Reads the input front to back; past the end every read gives zeros or empty text.
class ByteCursor {
public:
    ByteCursor(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool AtEnd() const { return pos_ >= size_; }
    std::size_t Left() const { return size_ - pos_; }

    std::uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    std::uint16_t Word() { return static_cast<std::uint16_t>(Byte() << 8 | Byte()); }
    std::int32_t Int32() {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v = v << 8 | Byte();
        return static_cast<std::int32_t>(v);
    }
    /// Up to n bytes (fewer at the end of the input).
    std::string_view Bytes(std::size_t n) {
        const std::size_t take = n < Left() ? n : Left();
        std::string_view s(reinterpret_cast<const char*>(data_ + pos_), take);
        pos_ += take;
        return s;
    }
    /// A text of up to maxLength bytes, its length taken from the input.
    std::string Text(std::size_t maxLength) { return std::string(Bytes(Byte() % (maxLength + 1))); }
    std::string_view Rest() { return Bytes(Left()); }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

/// A file of this process for the loaders that read by name; removed at exit.
class ScratchFile {
public:
    /// In memory (/dev/shm) where there is one: rewriting a file on a disk file system a hundred
    /// thousand times waits for the disk and slows the fuzzer a hundredfold.
    explicit ScratchFile(const char* tag) {
        const char* dir = std::getenv("ORBIQA_FUZZ_SCRATCH");
        std::string folder = dir && *dir ? dir : (::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp");
        path_ = folder + "/orbiqa-fuzz-" + tag + "-" + std::to_string(::getpid());
    }
    ~ScratchFile() { std::remove(path_.c_str()); }

    const std::string& Write(std::string_view bytes) const {
        std::FILE* f = std::fopen(path_.c_str(), "wb");
        if (!f) std::abort();
        if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) std::abort();
        std::fclose(f);
        return path_;
    }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

}  // namespace orbiqa::fuzz
