// get, set, export and import: parameter files edited by field name and kept as text, through
// the editor's own entry rules and store routines. Nothing here opens a port.
#include <ostream>

#include "Commands.h"
#include "FileAccess.h"
#include "ImageReport.h"
#include "params/ParameterText.h"

namespace orbiqa::cli {

namespace {

const char* const kCapitalUDoubleAcute = "\xC5\xB0";  // "Ű" in UTF-8

/// The field named in an argument; CliFailure(kExitUsage) for an unknown name.
FieldInfo NamedField(const std::string& command, const std::string& name) {
    const auto field = FindField(name);
    if (!field)
        throw CliFailure(kExitUsage, command + ": '" + name +
                                         "' is not a field (orbiqa-cli show --help lists them)");
    return *field;
}

int RunGet(const ParsedArgs& args, Io& io) {
    if (args.Flag("--fields")) {
        for (const auto& field : AllFields()) io.out << field.name << "\n";
        return kExitOk;
    }
    if (args.positionals.size() < 2)
        throw CliFailure(kExitUsage,
                         "get: missing argument (usage: orbiqa-cli get FILE.VR3 FIELD...)");
    const ParameterImage image = LoadImageFile(args.positionals.at(0));
    std::vector<FieldValue> values;
    for (std::size_t i = 1; i < args.positionals.size(); ++i) {
        const FieldInfo field = NamedField("get", args.positionals[i]);
        values.push_back({field.name, field.kind, FieldValueText(image, field.name)});
    }
    if (args.Flag("--json")) {
        io.out << ShowJson(values);
    } else {
        for (const auto& v : values) io.out << v.text << "\n";
    }
    return kExitOk;
}

}  // namespace

std::vector<std::string> ApplyAssignments(ParameterImage& image,
                                          const std::vector<std::string>& assignments,
                                          const std::string& command, bool moduleOnly) {
    std::vector<std::string> names;
    for (const std::string& assignment : assignments) {
        const auto equals = assignment.find('=');
        if (equals == std::string::npos)
            throw CliFailure(kExitUsage, command + ": '" + assignment + "' is not FIELD=VALUE");
        const FieldInfo field = NamedField(command, assignment.substr(0, equals));
        if (moduleOnly && !InModuleMemory(field))
            throw CliFailure(kExitUsage, command + ": " + field.name +
                                             " lives in bytes 960..1087, which never reach the "
                                             "module; only fields of bytes 0..959 can be written");
        const std::string value = assignment.substr(equals + 1);
        if (const auto rule = SetFieldValue(image, field.name, value))
            throw CliFailure(kExitUsage,
                             command + ": " + field.name + ": " + *rule + " (not '" + value + "')");
        names.push_back(field.name);
    }
    return names;
}

std::string StoredAsNote(const std::string& field, const std::string& value) {
    if (field.rfind("SMS", 0) != 0 || value.find(kCapitalUDoubleAcute) == std::string::npos)
        return {};
    return field +
           ": \"\xC5\xB0\" is stored as \"\xC3\x9C\", as the editor stores it (the module "
           "cannot send it)";
}

namespace {

int RunSet(const ParsedArgs& args, Io& io) {
    const std::string path = args.positionals.at(0);
    const ParameterImage before = LoadImageFile(path, true);
    ParameterImage after = before;
    const std::vector<std::string> assignments(args.positionals.begin() + 1,
                                               args.positionals.end());
    const auto names = ApplyAssignments(after, assignments, "set", false);
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string note = StoredAsNote(names[i], assignments[i]);
        if (!note.empty()) io.err << "orbiqa-cli: " << note << "\n";
    }
    if (after != before) SaveImageFile(path, after);
    io.out << DiffPlain(DiffImages(before, after));
    return kExitOk;
}

int RunExport(const ParsedArgs& args, Io& io) {
    const std::string in = args.positionals.at(0);
    if (args.positionals.size() > 1 && SameFile(in, args.positionals[1]))
        throw CliFailure(kExitUsage, "export: " + args.positionals[1] +
                                         " is the parameter file itself; its text goes to "
                                         "another file");
    const std::string text = ExportText(LoadImageFile(in));
    if (args.positionals.size() > 1)
        SaveTextFile(args.positionals[1], text);
    else
        io.out << text;
    return kExitOk;
}

int RunImport(const ParsedArgs& args, Io& io) {
    const std::string in = args.positionals.at(0);
    const std::string out = args.positionals.at(1);
    if (SameFile(in, out))
        throw CliFailure(kExitUsage, "import: " + out +
                                         " is the text itself; the parameter file goes to "
                                         "another file");
    CheckWritable(out);
    ParameterImage image;
    ImportNotes notes;
    try {
        image = ImportText(ReadTextFile(in), &notes);
    } catch (const ImportError& e) {
        throw CliFailure(kExitUsage, in + ": " + e.what());
    }
    SaveImageFile(out, image);
    if (!notes.fieldsLeftOut.empty()) {
        std::string names;
        for (const auto& name : notes.fieldsLeftOut) names += (names.empty() ? "" : " ") + name;
        io.err << "orbiqa-cli: import: " << in << " gives " << notes.fieldsLeftOut.size() << " of "
               << AllFields().size()
               << " fields neither by a field line nor by bytes; they hold what an erased "
                  "module holds: "
               << names << "\n";
    }
    return kExitOk;
}

const char* const kValueForms =
    "Values, by the parameter editor's entry rules (names and forms as \"show\" prints them):\n"
    "  numbers        digits 0-9 only, at most 16 (NETPREFIX, ADDFIX: 8); empty for none\n"
    "  Event1..10     four symbols 0-9 or *, or empty for no code\n"
    "  SMS1..10       at most 40 characters that Windows-1250 can hold (\"\xC5\xB0\" is stored "
    "as \"\xC3\x9C\")\n"
    "  APN UserName PWD  no spaces or double quotes; at most 37, 20 and 20 characters\n"
    "  flags          on or off\n"
    "  CallMax        0..25 minutes (0: no limit)\n"
    "  PanelID ServerID  0..32767\n"
    "  Receiver1..4   IPv4 address and port 0..32767, as 192.168.1.20:9000\n";

}  // namespace

CommandDef GetCommand() {
    return {"get",
            "get FILE.VR3 FIELD... [--json]",
            "print fields of a parameter file",
            "Prints the value of each FIELD, one a line, in the form \"show\" prints it (texts "
            "without\n"
            "quotes). --json prints one object, as \"show --json\" does for the fields named.\n"
            "--fields lists every field name instead, one a line.\n",
            {JsonOption(), {"--fields", "", "list the field names"}},
            0,
            SIZE_MAX,
            RunGet};
}

CommandDef SetCommand() {
    return {"set",
            "set FILE.VR3 FIELD=VALUE...",
            "change fields of a parameter file in place",
            std::string("Sets each FIELD through the editor's entry rule and store routine, then "
                        "saves the file\n"
                        "and prints what changed, as \"diff\" would. A value that breaks a rule "
                        "is refused\n"
                        "with the field and the rule (exit status 2) and the file is not "
                        "touched.\n\n") +
                kValueForms,
            {},
            2,
            SIZE_MAX,
            RunSet};
}

CommandDef ExportCommand() {
    return {"export",
            "export FILE.VR3 [OUT.txt]",
            "write a parameter file as text (to OUT.txt or standard output)",
            "One \"FIELD = value\" line per field (UTF-8, texts in double quotes), then \"@OFFSET "
            "= XX XX ...\"\n"
            "lines for every byte the field lines do not give back (bytes no field covers, "
            "filler,\n"
            "values the editor could not have stored, which are noted in \"#\" lines). \"import\" "
            "of the\n"
            "text gives back the file byte for byte.\n",
            {},
            1,
            2,
            RunExport};
}

CommandDef ImportCommand() {
    return {"import",
            "import IN.txt FILE.VR3",
            "build a parameter file from text",
            std::string(
                "Starts from an erased image (every byte FF), sets each \"FIELD = value\" line "
                "and writes\n"
                "each \"@OFFSET = XX ...\" line, in the order they stand; blank lines and lines "
                "starting\n"
                "with # are skipped. A malformed line is refused with its line number (exit "
                "status 2)\n"
                "and FILE is not touched.\n\n") +
                kValueForms,
            {},
            2,
            2,
            RunImport};
}

}  // namespace orbiqa::cli
