// The IPv4 text setter and the field assignments, with and without a visible part, a range
// handler and narrowed ranges, as the monitoring page and a typed address drive them.
#include "FuzzSupport.h"
#include "base/IntText.h"
#include "widgets/IPAddressFields.h"

using namespace orbiqa;
using namespace orbiqa::fuzz;

namespace {

class Display final : public IPAddressDisplay {
public:
    bool HasWindow() const override { return window; }
    bool AllFieldsEmpty() const override { return empty; }
    std::array<int, IPAddressFieldCount> ShownValues() const override { return shown; }
    void ShowValues(const std::array<int, IPAddressFieldCount>& values) override {
        shown = values;
        empty = false;
    }
    void Clear() override {
        shown = {};
        empty = true;
    }
    void SetFieldRange(int field, const TIPAddrRange&) override { FUZZ_CHECK(field >= 0 && field < IPAddressFieldCount); }

    bool window = false;
    bool empty = true;
    std::array<int, IPAddressFieldCount> shown{};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ByteCursor in(data, size);
    const std::uint8_t setup = in.Byte();
    Display display;
    TIPAddressFields fields(display);
    display.window = setup & 1;
    if (setup & 2) fields.WindowCreated();
    if (setup & 4) fields.OnRangeError = [&](TIPAddrRange& range, int, int field) {
        FUZZ_CHECK(field >= 1 && field <= IPAddressFieldCount);
        FUZZ_CHECK(&range == &fields.Range(field - 1));
    };
    if (setup & 8) fields.SetRange(in.Byte() % IPAddressFieldCount, TIPAddrRange{in.Byte(), in.Byte()});
    if (setup & 16) fields.Range(in.Byte() % IPAddressFieldCount).UpperLimit = in.Byte();

    const auto before = [&] {
        std::array<int, IPAddressFieldCount> f{};
        for (int k = 0; k < IPAddressFieldCount; ++k) f[static_cast<std::size_t>(k)] = fields.Field(k);
        return f;
    }();
    const std::string text(in.Rest());
    fields.SetIPAddress(text);  // never throws

    // Only the fields named before the first bad part may change; the rest keep their values.
    std::size_t parts = 1;
    for (char c : text) parts += c == '.';
    for (std::size_t k = std::min<std::size_t>(parts, IPAddressFieldCount); k < IPAddressFieldCount; ++k)
        FUZZ_CHECK(fields.Field(static_cast<int>(k)) == before[k]);

    const std::string shown = fields.IPAddress();
    if (fields.IsBlank()) {
        FUZZ_CHECK(shown.empty());
    } else {
        // The text form reads back into the same values (a range handler lets any int through).
        Display other;
        other.window = true;
        TIPAddressFields copy(other);
        copy.OnRangeError = [](TIPAddrRange&, int, int) {};
        copy.WindowCreated();
        copy.SetIPAddress(shown);
        for (int k = 0; k < IPAddressFieldCount; ++k) FUZZ_CHECK(copy.Field(k) == fields.Field(k));
    }
    return 0;
}
