// The integer text conversions, against a plain reference for decimal text and against each other.
#include <cerrno>
#include <cstdlib>
#include <optional>
#include <limits>

#include "FuzzSupport.h"
#include "base/Errors.h"
#include "base/IntText.h"

using namespace orbiqa;
using namespace orbiqa::fuzz;

namespace {

// Blanks, an optional sign and decimal digits only: the value with strtoll's help, or nothing.
std::optional<long long> DecimalReference(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() && s[i] == ' ') ++i;
    std::size_t j = i;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
    if (j == s.size()) return std::nullopt;
    for (std::size_t k = j; k < s.size(); ++k)
        if (s[k] < '0' || s[k] > '9') return std::nullopt;
    // Not "0x": a leading 0 followed by x is hexadecimal, which the reference does not cover.
    const std::string digits(s.substr(i));
    errno = 0;
    const long long v = std::strtoll(digits.c_str(), nullptr, 10);
    if (errno == ERANGE) return std::numeric_limits<long long>::max();
    return v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    const std::optional<std::int32_t> whole = TryStrToInt(text);
    bool raised = false;
    try {
        FUZZ_CHECK(StrToInt(text) == whole.value_or(0));
    } catch (const EConvertError& e) {
        raised = true;
        // what() is a C string: a text with a NUL cannot come out whole.
        if (text.find('\0') == std::string_view::npos)
            FUZZ_CHECK(std::string(e.what()) == "'" + std::string(text) + "' is not a valid integer value");
    }
    FUZZ_CHECK(raised == !whole.has_value());

    const std::int32_t prefix = StrToIntPrefix(text);
    if (whole) {
        FUZZ_CHECK(prefix == *whole);
        FUZZ_CHECK(TryStrToInt(IntToStr(*whole)) == whole);
    }

    if (const auto reference = DecimalReference(text)) {
        const bool fits = *reference >= std::numeric_limits<std::int32_t>::min() &&
                          *reference <= std::numeric_limits<std::int32_t>::max();
        FUZZ_CHECK(whole.has_value() == fits);
        if (fits) FUZZ_CHECK(*whole == *reference);
    }
    return 0;
}
