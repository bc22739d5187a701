#include "ProvisionPlan.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <optional>
#include <string_view>

#include "CsvText.h"
#include "FileAccess.h"
#include "ImageReport.h"
#include "CommandSession.h"

namespace orbiqa::cli {

namespace {

const char* const kPortColumn = "port";
const char* const kSiteColumn = "site";

/// One line of --each: where it stands (for messages) and its field values.
struct EachLine {
    std::string where;  ///< "modules.csv line 3"
    FieldValues values;
    std::string site;
};

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

/// The header's columns, checked: the port column (and a site column) found whatever its letter
/// case, every other column a field named once. Empty columns at the end, which spreadsheets leave behind a
/// trailing separator, are dropped when no line fills them. Returns the port column.
std::size_t CheckHeader(const std::string& path, std::vector<std::string>& header,
                        const std::vector<CsvRow>& rows) {
    const auto filled = [&](std::size_t c) {
        return std::any_of(rows.begin() + 1, rows.end(), [&](const CsvRow& row) {
            return c < row.fields.size() && !row.fields[c].empty();
        });
    };
    while (!header.empty() && header.back().empty() && !filled(header.size() - 1))
        header.pop_back();
    std::optional<std::size_t> port;
    std::vector<std::string> names;
    for (std::size_t c = 0; c < header.size(); ++c) {
        const std::string column = "column " + std::to_string(c + 1);
        if (header[c].empty())
            throw CliFailure(kExitUsage, path + ": " + column + " of the header has no name");
        std::string name = header[c];
        if (SameName(name, kPortColumn)) {
            name = kPortColumn;
            if (!port) port = c;
        } else if (SameName(name, kSiteColumn)) {
            name = header[c] = kSiteColumn;
        } else if (const auto field = FindField(name)) {
            name = header[c] = field->name;
        } else {
            throw CliFailure(kExitUsage, path + ": " + column + " of the header: '" + header[c] +
                                             "' is not a field (orbiqa-cli get --fields lists "
                                             "them)");
        }
        const auto seen = std::find(names.begin(), names.end(), name);
        if (seen != names.end())
            throw CliFailure(kExitUsage, path + ": the header names " + name + " twice (columns " +
                                             std::to_string(seen - names.begin() + 1) + " and " +
                                             std::to_string(c + 1) + "); one column a field");
        names.push_back(name);
    }
    if (!port) throw CliFailure(kExitUsage, path + ": the header has no \"port\" column");
    return *port;
}

/// The per-module values of --each by COM name: the CSV's columns other than "port" are fields.
std::map<std::string, EachLine> ReadEach(const std::string& path) {
    std::vector<CsvRow> rows;
    try {
        rows = ParseCsv(ReadTextFile(path));
    } catch (const CsvError& e) {
        throw CliFailure(kExitUsage, path + ": " + e.what());
    }
    if (rows.empty()) throw CliFailure(kExitUsage, path + ": no header line");
    std::vector<std::string> header = rows.front().fields;
    const std::size_t portColumn = CheckHeader(path, header, rows);
    std::map<std::string, EachLine> each;
    for (std::size_t r = 1; r < rows.size(); ++r) {
        const CsvRow& row = rows[r];
        const std::string where = path + " line " + std::to_string(row.line);
        const bool emptyTail =
            std::all_of(row.fields.begin() +
                            static_cast<std::ptrdiff_t>(std::min(header.size(), row.fields.size())),
                        row.fields.end(), [](const std::string& f) { return f.empty(); });
        if (row.fields.size() < header.size() || !emptyTail)
            throw CliFailure(kExitUsage, where + ": " + std::to_string(row.fields.size()) +
                                             " fields where the header has " +
                                             std::to_string(header.size()));
        FieldValues values;
        std::string port;
        std::string site;
        for (std::size_t c = 0; c < header.size(); ++c) {
            if (header[c] == kSiteColumn) {
                site = row.fields[c];
                continue;
            }
            if (c != portColumn) {
                values.emplace_back(header[c], row.fields[c]);
                continue;
            }
            try {
                port = ResolvePortArgument(row.fields[c]);
            } catch (const CliFailure& f) {
                throw CliFailure(f.Status(), where + ": " + f.what());
            }
        }
        if (!each.emplace(port, EachLine{where, values, site}).second)
            throw CliFailure(kExitUsage, where + ": " + port + " has a line already");
    }
    return each;
}

std::vector<std::string> Assignments(const FieldValues& v) {
    std::vector<std::string> out;
    for (const auto& [field, value] : v) out.push_back(field + "=" + value);
    return out;
}

}  // namespace

std::vector<ProvisionModule> PlanModules(const ParsedArgs& args) {
    const std::string templatePath = args.positionals.at(0);
    ParameterImage base = LoadImageFile(templatePath, true);
    const auto sets = args.Values("--set");
    const auto setNames = ApplyAssignments(base, sets, "provision --set", true);
    FieldValues setValues;
    for (std::size_t i = 0; i < sets.size(); ++i)
        setValues.emplace_back(setNames[i], sets[i].substr(sets[i].find('=') + 1));

    std::vector<std::string> ports;
    for (const auto& p : args.Values("--port")) {
        const std::string com = ResolvePortArgument(p);
        if (std::find(ports.begin(), ports.end(), com) != ports.end())
            throw CliFailure(kExitUsage, "provision: " + com + " is listed twice");
        ports.push_back(com);
    }
    std::map<std::string, EachLine> each;
    const auto eachPath = args.Value("--each");
    if (eachPath) {
        each = ReadEach(*eachPath);
        if (ports.empty()) {
            for (const auto& [port, line] : each) ports.push_back(port);
        } else {
            // -p picks lines of the list, as when one module of a batch is done again.
            for (const auto& port : ports)
                if (!each.count(port))
                    throw CliFailure(kExitUsage, *eachPath + ": no line for " + port);
        }
    }
    if (ports.empty())
        throw CliFailure(kExitUsage,
                         "provision: no module: give -p PORT (one per module) or --each");

    const auto site = args.Value("--site");
    if (site && ports.size() != 1)
        throw CliFailure(kExitUsage, "provision: --site names the site of one module; give a \"site\" "
                                     "column in --each for several");

    // Every value is checked before any port is opened: a batch starts whole or not at all.
    std::vector<ProvisionModule> modules;
    for (const auto& port : ports) {
        ProvisionModule m{port, base, setValues, site.value_or("")};
        if (eachPath) {
            const EachLine& line = each.at(port);
            if (!line.site.empty()) m.site = line.site;
            ApplyAssignments(m.image, Assignments(line.values), line.where, true);
            for (const auto& [field, value] : line.values)
                m.values.emplace_back(FindField(field)->name, value);
        }
        modules.push_back(std::move(m));
    }
    return modules;
}

}  // namespace orbiqa::cli
