#include <windows.h>

#include "base/Win1250.h"
#include "base/Win1250Wide.h"

namespace orbiqa {

namespace {

constexpr UINT kCodePage1250 = 1250;

// Code page 1250 places no control characters in 0x80-0x9F: a byte there that converts to one
// of the C1 controls is a hole in the code page, which Windows passes through as that control.
bool IsC1Control(wchar_t c) {
    return c >= 0x80 && c <= 0x9F;
}

std::wstring Widen(UINT codePage, DWORD flags, std::string_view in, bool& ok) {
    ok = true;
    if (in.empty()) return {};
    const int inSize = static_cast<int>(in.size());
    const int n = MultiByteToWideChar(codePage, flags, in.data(), inSize, nullptr, 0);
    if (n <= 0) {
        ok = false;
        return {};
    }
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(codePage, flags, in.data(), inSize, wide.data(), n);
    return wide;
}

// Converts a wide text to a code page; usedDefault reports a character it could not hold.
std::string Narrow(UINT codePage, DWORD flags, const std::wstring& wide, bool* usedDefault) {
    if (wide.empty()) return {};
    const int wideSize = static_cast<int>(wide.size());
    BOOL defaulted = FALSE;
    BOOL* defaultedOut = usedDefault ? &defaulted : nullptr;
    const int n = WideCharToMultiByte(codePage, flags, wide.data(), wideSize, nullptr, 0, nullptr,
                                      defaultedOut);
    if (n <= 0) {
        if (usedDefault) *usedDefault = true;
        return {};
    }
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(codePage, flags, wide.data(), wideSize, out.data(), n, nullptr,
                        defaultedOut);
    if (usedDefault) *usedDefault = defaulted != FALSE;
    return out;
}

}  // namespace

std::string Win1250ToUtf8(std::string_view cp1250) {
    bool ok = false;
    // A single-byte code page gives exactly one UTF-16 unit per byte.
    std::wstring wide = Widen(kCodePage1250, 0, cp1250, ok);
    if (!ok || wide.size() != cp1250.size()) wide.assign(cp1250.size(), L'\xFFFD');
    for (wchar_t& c : wide)
        if (IsC1Control(c)) c = L'\xFFFD';
    return Narrow(CP_UTF8, 0, wide, nullptr);
}

std::optional<std::string> Utf8ToWin1250(std::string_view utf8) {
    bool ok = false;
    const std::wstring wide = Widen(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, ok);
    if (!ok) return std::nullopt;
    for (const wchar_t c : wide)
        if (IsC1Control(c)) return std::nullopt;
    bool usedDefault = false;
    // No best fit: a character the code page lacks must fail, not turn into a look-alike.
    std::string out = Narrow(kCodePage1250, WC_NO_BEST_FIT_CHARS, wide, &usedDefault);
    if (usedDefault) return std::nullopt;
    return out;
}

std::wstring Win1250ToWide(std::string_view cp1250) {
    bool ok = false;
    return Widen(kCodePage1250, 0, cp1250, ok);
}

std::string WideToWin1250(std::wstring_view wide) {
    // No best fit: "?" says plainly that a letter is missing, where a look-alike would not.
    return Narrow(kCodePage1250, WC_NO_BEST_FIT_CHARS, std::wstring(wide), nullptr);
}

}  // namespace orbiqa
