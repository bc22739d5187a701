#include "widgets/IPAddressFields.h"

#include <cstdio>

#include "base/IntText.h"

namespace orbiqa {

std::string IPAddressRangeErrorText(int value, int lowerLimit, int upperLimit) {
    char text[96];
    std::snprintf(text, sizeof text, "$%X liegt nicht im g\xFCltigen Bereich zwischen $%X..$%X",
                  static_cast<unsigned>(value), static_cast<unsigned>(lowerLimit),
                  static_cast<unsigned>(upperLimit));
    return text;
}

void TIPAddressFields::SetField(int index, int value) {
    const auto i = static_cast<std::size_t>(index);
    if (value == digits_.at(i) && !IsBlank()) return;
    const TIPAddrRange& range = ranges_[i];
    if (value < range.LowerLimit || value > range.UpperLimit) RangeError(index, value);
    digits_[i] = value;
    if (display_.HasWindow()) display_.ShowValues(digits_);
}

void TIPAddressFields::RangeError(int index, int value) {
    const auto i = static_cast<std::size_t>(index);
    if (OnRangeError) {
        OnRangeError(ranges_[i], value, index + 1);
        return;
    }
    digits_[i] = 255;
    throw EIPAddressRangeError(
        IPAddressRangeErrorText(value, ranges_[i].LowerLimit, ranges_[i].UpperLimit));
}

void TIPAddressFields::SetRange(int index, const TIPAddrRange& range) {
    ranges_.at(static_cast<std::size_t>(index)) = range;
    display_.SetFieldRange(index, range);
}

bool TIPAddressFields::Modified() const {
    const auto shown = display_.HasWindow() ? display_.ShownValues()
                                            : std::array<int, IPAddressFieldCount>{};
    return shown != digits_;
}

std::string TIPAddressFields::IPAddress() {
    if (IsBlank()) return std::string();
    if (Modified()) digits_ = display_.ShownValues();
    std::string text;
    for (int k = 0; k < IPAddressFieldCount; ++k) {
        if (k > 0) text += '.';
        text += IntToStr(digits_[static_cast<std::size_t>(k)]);
    }
    return text;
}

void TIPAddressFields::SetIPAddress(std::string_view text) {
    std::string rest(text);
    rest += '.';
    try {
        for (int k = 0; k < IPAddressFieldCount && !rest.empty(); ++k) {
            const auto dot = rest.find('.');
            SetField(k, StrToInt(std::string_view(rest).substr(0, dot)));
            rest.erase(0, dot + 1);
        }
    } catch (...) {
        // The address is bad as a whole: the user sees an empty control rather than half of it.
        display_.Clear();
    }
}

void TIPAddressFields::FieldChanged(int index, int value) {
    digits_.at(static_cast<std::size_t>(index)) = value;
}

void TIPAddressFields::WindowCreated() {
    display_.Clear();
    display_.ShowValues(digits_);
}

}  // namespace orbiqa
