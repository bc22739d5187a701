#include "base/Win1250.h"

#include <iconv.h>

#include <cerrno>
#include <mutex>

namespace orbiqa {
namespace {

// One converter per direction, opened once; iconv descriptors are not thread-safe, so each is
// used under its own lock.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts the whole input; on an unconvertible sequence calls onBad(out) and skips
    // `skip` input bytes, or fails when skip is 0.
    template <typename OnBad>
    bool Run(std::string_view in, std::string& out, std::size_t skip, OnBad onBad) {
        std::lock_guard lock(mutex_);
        if (cd_ == reinterpret_cast<iconv_t>(-1)) return false;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char* src = const_cast<char*>(in.data());
        std::size_t srcLeft = in.size();
        char buffer[256];
        while (srcLeft > 0) {
            char* dst = buffer;
            std::size_t dstLeft = sizeof buffer;
            const std::size_t r = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
            out.append(buffer, static_cast<std::size_t>(dst - buffer));
            if (r == static_cast<std::size_t>(-1)) {
                if (errno == E2BIG) continue;
                if (skip == 0) return false;
                onBad(out);
                const std::size_t n = skip < srcLeft ? skip : srcLeft;
                src += n;
                srcLeft -= n;
            }
        }
        return true;
    }

private:
    iconv_t cd_;
    std::mutex mutex_;
};

Converter& ToUtf8() {
    static Converter c("UTF-8", "WINDOWS-1250");
    return c;
}
Converter& FromUtf8() {
    static Converter c("WINDOWS-1250", "UTF-8");
    return c;
}

}  // namespace

std::string Win1250ToUtf8(std::string_view cp1250) {
    std::string out;
    out.reserve(cp1250.size());
    ToUtf8().Run(cp1250, out, 1, [](std::string& o) { o += "\xEF\xBF\xBD"; });
    return out;
}

std::optional<std::string> Utf8ToWin1250(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    if (!FromUtf8().Run(utf8, out, 0, [](std::string&) {})) return std::nullopt;
    return out;
}

}  // namespace orbiqa
