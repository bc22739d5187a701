#pragma once
// The behaviour of the IPv4 address entry control without its visible part: the four stored
// field values, their ranges, the dotted text form and the range error. The visible part (a Qt
// widget, or the platform's own address control) is reached through IPAddressDisplay.
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "base/Errors.h"

namespace orbiqa {

constexpr int IPAddressFieldCount = 4;

struct TIPAddrRange {
    std::uint8_t LowerLimit = 0;
    std::uint8_t UpperLimit = 255;
};

/// A value outside a field's range was assigned and no OnRangeError handler took it.
class EIPAddressRangeError : public OrbiqaError {
public:
    using OrbiqaError::OrbiqaError;
};

/// "$%x liegt nicht im gültigen Bereich zwischen $%x..$%x" (Windows-1250, capital hex digits).
std::string IPAddressRangeErrorText(int value, int lowerLimit, int upperLimit);

/// What the address control needs from its visible part.
class IPAddressDisplay {
public:
    virtual ~IPAddressDisplay() = default;
    /// False until the visible part exists; a control without it counts as blank.
    virtual bool HasWindow() const = 0;
    /// True when every field on screen is empty.
    virtual bool AllFieldsEmpty() const = 0;
    /// The values on screen, an empty field read as 0.
    virtual std::array<int, IPAddressFieldCount> ShownValues() const = 0;
    virtual void ShowValues(const std::array<int, IPAddressFieldCount>& values) = 0;
    virtual void Clear() = 0;
    virtual void SetFieldRange(int field, const TIPAddrRange& range) = 0;
};

/// (range, value, field number 1..4): may change the range it is handed.
using TRangeErrorEvent = std::function<void(TIPAddrRange& range, int value, int field)>;

class TIPAddressFields {
public:
    explicit TIPAddressFields(IPAddressDisplay& display) : display_(display) {}

    int Field(int index) const { return digits_.at(static_cast<std::size_t>(index)); }
    /// Assigns a field (index 0..3). Out of range: with OnRangeError the handler is told and the
    /// value is stored anyway; without it the field becomes 255 and EIPAddressRangeError is raised.
    void SetField(int index, int value);

    const TIPAddrRange& Range(int index) const { return ranges_.at(static_cast<std::size_t>(index)); }
    /// Changing limits through this reference affects only later range checks.
    TIPAddrRange& Range(int index) { return ranges_.at(static_cast<std::size_t>(index)); }
    /// Replaces a field's range and tells the visible part the new limits.
    void SetRange(int index, const TIPAddrRange& range);

    bool IsBlank() const { return !display_.HasWindow() || display_.AllFieldsEmpty(); }
    bool Modified() const;

    /// Dotted decimal text of the stored values (taking over what is on screen first), or the
    /// empty text while the control is blank.
    std::string IPAddress();
    /// Assigns up to four dot-separated integers to the fields in turn. Any error stops the work
    /// and blanks the control; the fields assigned before it keep their values. Never throws.
    void SetIPAddress(std::string_view text);

    /// The user changed a field on screen: the stored value follows without a range check.
    void FieldChanged(int index, int value);

    /// The visible part has just been created: show the stored values.
    void WindowCreated();

    TRangeErrorEvent OnRangeError;

private:
    void RangeError(int index, int value);

    IPAddressDisplay& display_;
    std::array<int, IPAddressFieldCount> digits_{};
    std::array<TIPAddrRange, IPAddressFieldCount> ranges_{};
};

}  // namespace orbiqa
