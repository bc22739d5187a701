// The layout every --json output shares: scripts compare it byte for byte.
#include <gtest/gtest.h>

#include "JsonWriter.h"

using namespace orbiqa::cli;

TEST(JsonWriter, ObjectsAndArraysKeepTheirOrderAndLayout) {
    const struct {
        const char* name;
        std::string written;
        const char* expected;
    } cases[] = {
        {"empty object", JsonObject().Line(), "{}"},
        {"empty block", JsonObject().Block("  "), "{\n}"},
        {"members in order",
         JsonObject().Text("b", "x").Bool("a", false).Number("n", -3).Null("z").Line(),
         R"({"b": "x", "a": false, "n": -3, "z": null})"},
        {"quoting of keys and values", JsonObject().Text("k\"", "a\tb\n\"c\"\\").Line(),
         R"({"k\"": "a\tb\n\"c\"\\"})"},
        {"UTF-8 passes unchanged", JsonObject().Text("név", "Riasztás").Line(), "{\"név\": \"Riasztás\"}"},
        {"number or null", JsonObject().NumberOrNull("a", 0).NumberOrNull("b", std::nullopt).Line(),
         R"({"a": 0, "b": null})"},
        {"raw values", JsonObject().Raw("s", "2.4").Raw("o", JsonObject().Line()).Line(),
         R"({"s": 2.4, "o": {}})"},
        {"block", JsonObject().Number("a", 1).Raw("b", "[]").Block("  "), "{\n  \"a\": 1,\n  \"b\": []\n}"},
        {"empty array", JsonArray({}), "[]"},
        {"inline array", JsonArray({"1", "{}"}), "[1, {}]"},
        {"array with its own separator", JsonArray({"1", "2"}, ",\n "), "[1,\n 2]"},
        {"empty lines array", JsonLinesArray({}, "    ", "  "), "[]"},
        {"lines array", JsonLinesArray({"1", "2"}, "    ", "  "), "[\n    1,\n    2\n  ]"},
        {"lines array at the margin", JsonLinesArray({"{}"}, "  ", ""), "[\n  {}\n]"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.written, c.expected) << c.name;
}
