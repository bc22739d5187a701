#include "ProvisionReport.h"

#include <algorithm>
#include <cstdio>
#include <optional>

#include "CsvText.h"
#include "JsonWriter.h"

namespace orbiqa::cli {

namespace {

std::string Seconds(double s) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", s);
    return text;
}

std::vector<std::string> FieldColumns(const std::vector<ProvisionModule>& modules) {
    std::vector<std::string> columns;
    for (const auto& m : modules)
        for (const auto& [field, value] : m.values)
            if (std::find(columns.begin(), columns.end(), field) == columns.end())
                columns.push_back(field);
    return columns;
}

std::string ValueOf(const ProvisionModule& m, const std::string& field) {
    std::string value;
    for (const auto& [f, v] : m.values)
        if (f == field) value = v;  // a CSV value follows --set, and wins
    return value;
}

}  // namespace

std::string ResultLine(const ProvisionResult& r) {
    return r.label + ": " + (r.status == kExitOk ? "ok, " : "FAILED: ") + r.text + " (" +
           Seconds(r.seconds) + " s)";
}

std::string ReportCsv(const std::vector<ProvisionModule>& modules, const std::vector<ProvisionResult>& results) {
    const auto columns = FieldColumns(modules);
    // The site column only where a site was named: earlier reports keep their columns.
    const bool sites = std::any_of(modules.begin(), modules.end(), [](const ProvisionModule& m) { return !m.site.empty(); });
    std::vector<std::string> header{"port", "device"};
    if (sites) header.push_back("site");
    header.insert(header.end(), columns.begin(), columns.end());
    header.insert(header.end(), {"outcome", "status", "failed_block", "seconds", "finished"});
    std::string csv = CsvLine(header);
    for (std::size_t i = 0; i < modules.size(); ++i) {
        const ProvisionResult& r = results[i];
        std::vector<std::string> line{r.port, r.device};
        if (sites) line.push_back(modules[i].site);
        for (const auto& c : columns) line.push_back(ValueOf(modules[i], c));
        line.insert(line.end(), {r.status == kExitOk ? "ok" : r.text, std::to_string(r.status),
                                 r.failedBlock >= 0 ? std::to_string(r.failedBlock) : "",
                                 Seconds(r.seconds), r.finished});
        csv += CsvLine(line);
    }
    return csv;
}

std::string ReportJson(const std::vector<ProvisionModule>& modules, const std::vector<ProvisionResult>& results,
                       const std::string& templatePath, int complete) {
    std::vector<std::string> items;
    for (std::size_t i = 0; i < modules.size(); ++i) {
        const ProvisionResult& r = results[i];
        JsonObject module;
        module.Text("port", r.port).Text("device", r.device);
        if (!modules[i].site.empty()) module.Text("site", modules[i].site);
        JsonObject set;
        for (const auto& [field, value] : modules[i].values) set.Text(field, value);
        items.push_back(module.Raw("set", set.Line())
                            .Bool("ok", r.status == kExitOk)
                            .Number("status", r.status)
                            .Text("outcome", r.text)
                            .NumberOrNull("failedBlock", r.failedBlock >= 0 ? std::optional<int>(r.failedBlock) : std::nullopt)
                            .Raw("seconds", Seconds(r.seconds))
                            .Text("finished", r.finished)
                            .Line());
    }
    return JsonObject()
               .Text("template", templatePath)
               .Raw("modules", JsonLinesArray(items, "    ", "  "))
               .Number("complete", complete)
               .Number("total", static_cast<long long>(modules.size()))
               .Block("  ") +
           "\n";
}

}  // namespace orbiqa::cli
