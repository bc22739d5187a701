// The field table itself: where its records put the fields, and what setting one of them touches.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>

#include "params/FieldCatalog.h"
#include "params/ImageDifference.h"

using namespace orbiqa;

namespace {

ParameterImage RandomImage(std::mt19937& random) {
    ParameterImage image;
    for (auto& byte : image) byte = static_cast<std::uint8_t>(random());
    return image;
}

}  // namespace

// A wrong offset or size in a record would let one field's store overwrite its neighbour.
TEST(FieldCatalog, FieldsLieApartWithinTheImage) {
    std::vector<FieldInfo> fields = AllFields();
    std::sort(fields.begin(), fields.end(),
              [](const FieldInfo& x, const FieldInfo& y) { return x.offset < y.offset; });
    for (std::size_t k = 0; k < fields.size(); ++k) {
        const FieldInfo& f = fields[k];
        EXPECT_LE(f.size, f.stored) << f.name;
        EXPECT_LE(f.offset + f.stored, ParameterImage::Size) << f.name;
        EXPECT_FALSE(f.caption.empty()) << f.name;
        if (k + 1 == fields.size()) continue;
        const FieldInfo& next = fields[k + 1];
        // Only the two bits of BELLFlags share a byte.
        const bool sharedByte = f.offset == next.offset && f.name.starts_with("BELL") &&
                                next.name.starts_with("BELL") && f.stored == 1 && next.stored == 1;
        if (!sharedByte) EXPECT_LE(f.offset + f.stored, next.offset) << f.name << " / " << next.name;
    }
}

// Setting a field from another image's value gives that value back and leaves every byte outside
// the field as it was; a field whose value is taken from an image where the catalog cannot set
// it again would show up as a refusal.
TEST(FieldCatalog, SettingAFieldWritesOnlyItsOwnBytes) {
    std::mt19937 random(5);
    std::map<std::string, int> set;
    for (int round = 0; round < 40; ++round) {
        const ParameterImage before = RandomImage(random);
        const ParameterImage source = RandomImage(random);
        for (const FieldInfo& f : AllFields()) {
            ParameterImage image = before;
            const std::string value = FieldValueText(source, f);
            if (SetFieldValue(image, f.name, value)) continue;  // a value the editor cannot enter
            ++set[f.name];
            EXPECT_EQ(FieldValueText(image, f), value) << f.name;
            for (std::size_t i = 0; i < ParameterImage::Size; ++i)
                if (i < f.offset || i >= f.offset + f.stored)
                    ASSERT_EQ(image[i], before[i]) << f.name << " wrote byte " << i;
        }
    }
    for (const FieldInfo& f : AllFields()) EXPECT_GT(set[f.name], 0) << f.name << " was never set";
}

// A compare with the module sees only its memory: the monitoring fields stay out of it.
TEST(ImageDifference, ModuleOnlyLeavesOutWhatTheModuleDoesNotHold) {
    ParameterImage a, b;
    ASSERT_EQ(SetFieldValue(b, "PanelID", "300"), std::nullopt);
    ASSERT_EQ(SetFieldValue(b, "USER1", "0620"), std::nullopt);
    EXPECT_EQ(DifferingFieldNames(a, b, false), (std::vector<std::string>{"USER1", "PanelID"}));
    EXPECT_EQ(DifferingFieldNames(a, b, true), (std::vector<std::string>{"USER1"}));
}
