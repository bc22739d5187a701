#include <gtest/gtest.h>

#include "widgets/IPAddressFields.h"

using namespace orbiqa;

namespace {

// A visible part that records what the control shows.
struct FakeDisplay : IPAddressDisplay {
    bool window = false;
    bool blank = true;
    std::array<int, 4> shown{};
    bool HasWindow() const override { return window; }
    bool AllFieldsEmpty() const override { return blank; }
    std::array<int, 4> ShownValues() const override { return shown; }
    void ShowValues(const std::array<int, 4>& values) override {
        shown = values;
        blank = false;
    }
    void Clear() override {
        shown = {};
        blank = true;
    }
    void SetFieldRange(int, const TIPAddrRange&) override {}
};

std::array<int, 4> Fields(const TIPAddressFields& f) {
    return {f.Field(0), f.Field(1), f.Field(2), f.Field(3)};
}

}  // namespace

TEST(IPAddressFields, TextFormNeedsAWindow) {
    FakeDisplay display;
    TIPAddressFields fields(display);
    for (int k = 0; k < 4; ++k) fields.SetField(k, std::array{192, 168, 1, 10}[k]);
    EXPECT_EQ(fields.IPAddress(), "");  // no window yet
    EXPECT_EQ(Fields(fields), (std::array{192, 168, 1, 10}));
    display.window = true;
    fields.WindowCreated();
    EXPECT_EQ(fields.IPAddress(), "192.168.1.10");
    EXPECT_FALSE(fields.Modified());
    display.shown[3] = 77;  // the user typed on screen
    EXPECT_TRUE(fields.Modified());
    EXPECT_EQ(fields.IPAddress(), "192.168.1.77");
    EXPECT_EQ(fields.Field(3), 77);
}

TEST(IPAddressFields, RangeErrorWithoutHandlerStores255AndRaises) {
    FakeDisplay display;
    TIPAddressFields fields(display);
    try {
        fields.SetField(2, 256);
        FAIL() << "no range error";
    } catch (const EIPAddressRangeError& e) {
        EXPECT_STREQ(e.what(), "$100 liegt nicht im g\xFCltigen Bereich zwischen $0..$FF");
    }
    EXPECT_EQ(fields.Field(2), 255);
    fields.Range(1).LowerLimit = 10;
    EXPECT_THROW(fields.SetField(1, 9), EIPAddressRangeError);
    EXPECT_EQ(IPAddressRangeErrorText(-1, 0, 255),
              "$FFFFFFFF liegt nicht im g\xFCltigen Bereich zwischen $0..$FF");
}

TEST(IPAddressFields, RangeErrorHandlerLetsTheValueThrough) {
    FakeDisplay display;
    TIPAddressFields fields(display);
    int reportedField = 0, reportedValue = 0;
    fields.OnRangeError = [&](TIPAddrRange& range, int value, int field) {
        reportedField = field;
        reportedValue = value;
        EXPECT_EQ(range.UpperLimit, 255);
    };
    fields.SetField(3, 300);
    EXPECT_EQ(reportedField, 4);
    EXPECT_EQ(reportedValue, 300);
    EXPECT_EQ(fields.Field(3), 300);
}

TEST(IPAddressFields, SettingTheAddressNeverThrows) {
    FakeDisplay display;
    display.window = true;
    TIPAddressFields fields(display);
    fields.SetIPAddress("1.2.3.4");
    EXPECT_EQ(fields.IPAddress(), "1.2.3.4");

    fields.SetIPAddress("10.0.300.1");
    EXPECT_TRUE(fields.IsBlank());
    EXPECT_EQ(fields.IPAddress(), "");
    EXPECT_EQ(Fields(fields), (std::array{10, 0, 255, 4}));

    fields.SetIPAddress("10.1");
    EXPECT_EQ(Fields(fields), (std::array{10, 1, 255, 4}));

    fields.SetIPAddress("$C0.0xA8. 1.x");  // hex forms and a blank are fine, "x" is not
    EXPECT_EQ(Fields(fields), (std::array{192, 168, 1, 4}));
    EXPECT_TRUE(fields.IsBlank());
    EXPECT_NO_THROW(fields.SetIPAddress("1.2.3.4.5.6"));
    EXPECT_NO_THROW(fields.SetIPAddress(""));
    fields.OnRangeError = [](TIPAddrRange&, int, int) { throw std::runtime_error("handler"); };
    EXPECT_NO_THROW(fields.SetIPAddress("999"));
}

TEST(IPAddressFields, UserChangesBypassTheRangeCheck) {
    FakeDisplay display;
    TIPAddressFields fields(display);
    fields.Range(0).UpperLimit = 100;
    fields.FieldChanged(0, 200);
    EXPECT_EQ(fields.Field(0), 200);
}
