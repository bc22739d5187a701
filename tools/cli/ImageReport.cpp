#include "ImageReport.h"

#include "JsonText.h"
#include "JsonWriter.h"

namespace orbiqa::cli {

namespace {

constexpr std::size_t kNameColumn = 23;

}  // namespace

std::string JsonValue(const FieldValue& value) {
    switch (value.kind) {
        case ValueKind::Number:
            return value.text;
        case ValueKind::Flag:
            return value.text == "on" ? "true" : "false";
        default:
            return JsonQuote(value.text);
    }
}

std::string ShowPlain(const std::vector<FieldValue>& fields) {
    std::string out;
    for (const auto& f : fields) {
        std::string line = f.name + ":";
        const std::string value = PlainValue(f);
        if (!value.empty())
            line +=
                std::string(kNameColumn > line.size() ? kNameColumn - line.size() : 1, ' ') + value;
        out += line + "\n";
    }
    return out;
}

std::string ShowJson(const std::vector<FieldValue>& fields) {
    JsonObject out;
    for (const auto& f : fields) out.Raw(f.name, JsonValue(f));
    return out.Block("  ") + "\n";
}

std::string DiffPlain(const std::vector<FieldDifference>& differences) {
    // An empty number would leave nothing to read beside the arrow; texts show "" already.
    const auto side = [](const FieldValue& v) {
        return v.text.empty() && v.kind != ValueKind::Text ? std::string("(empty)") : PlainValue(v);
    };
    std::string out;
    for (const auto& d : differences)
        out += d.a.name + (d.where.empty() ? "" : " (" + d.where + ")") + ": " + side(d.a) +
               " -> " + side(d.b) + "\n";
    return out;
}

std::string DiffJson(const std::vector<FieldDifference>& differences) {
    std::vector<std::string> items;
    for (const auto& d : differences) {
        JsonObject item;
        item.Text("field", d.a.name);
        if (!d.where.empty()) item.Text("where", d.where);
        items.push_back(item.Raw("a", JsonValue(d.a)).Raw("b", JsonValue(d.b)).Line());
    }
    return JsonObject()
               .Bool("equal", differences.empty())
               .Raw("differences", JsonLinesArray(items, "    ", "  "))
               .Block("  ") +
           "\n";
}

std::string SummaryList(const std::vector<std::string>& names, std::size_t shown) {
    // Counting a single name left would make the line no shorter.
    if (names.size() <= shown + 1) shown = names.size();
    std::string list;
    for (std::size_t i = 0; i < shown; ++i) list += (i == 0 ? "" : ", ") + names[i];
    if (shown < names.size())
        list += (shown == 0 ? "" : " and ") + std::to_string(names.size() - shown) + " more";
    return list;
}

}  // namespace orbiqa::cli
