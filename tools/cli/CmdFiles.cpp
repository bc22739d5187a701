// show and diff: parameter files decoded field by field, without a module.
#include <ostream>

#include "Commands.h"
#include "FileAccess.h"
#include "ImageReport.h"

namespace orbiqa::cli {

namespace {

const OptionDef kJsonOption{"--json", "", "print one JSON object instead of lines"};

int RunShow(const ParsedArgs& args, Io& io) {
    const auto fields = DecodeImage(LoadImageFile(args.positionals.at(0)));
    io.out << (args.Flag("--json") ? ShowJson(fields) : ShowPlain(fields));
    return kExitOk;
}

int RunDiff(const ParsedArgs& args, Io& io) {
    const ParameterImage a = LoadImageFile(args.positionals.at(0));
    const ParameterImage b = LoadImageFile(args.positionals.at(1));
    const auto differences = DiffImages(a, b);
    io.out << (args.Flag("--json") ? DiffJson(differences) : DiffPlain(differences));
    return differences.empty() ? kExitOk : kExitDiffers;
}

/// The field names from the catalog, wrapped, then how their values read.
std::string FieldList() {
    std::string text = "Fields, in this order (names of the module's memory map):\n";
    std::string line = " ";
    for (const FieldInfo& field : AllFields()) {
        if (line.size() + 1 + field.name.size() > 78) {
            text += line + "\n";
            line = " ";
        }
        line += " " + field.name;
    }
    return text + line + "\n" +
           "Values are what the parameter editor would load: digits as a string, an event code as "
           "its\n"
           "four symbols (\"?\" for a symbol the editor shows blank; nothing when there is no "
           "code),\n"
           "texts in UTF-8, flags on/off (JSON true/false), words and CallMax as the stored "
           "number\n"
           "(an erased module gives 65535 and 255); a receiver as address:port.\n";
}

}  // namespace

CommandDef ShowCommand() {
    return {
        "show",
        "show FILE.VR3 [--json]",
        "print every field of a parameter file by name",
        std::string(
            "Plain output is one line a field: \"NAME:\", blanks, the value; texts are in double\n"
            "quotes with JSON escapes, an empty number or code leaves the value out.\n"
            "--json prints one object with a member per field.\n\n") +
            FieldList(),
        {kJsonOption},
        1,
        1,
        RunShow};
}

CommandDef DiffCommand() {
    return {"diff",
            "diff A.VR3 B.VR3 [--json]",
            "print the fields that differ between two parameter files",
            "One line a field whose value differs: \"NAME: value-in-A -> value-in-B\" (\"(empty)\" "
            "for an\n"
            "empty number or code). Every other differing byte is listed too (bytes no field "
            "covers,\n"
            "the filler after a text, unused bits), a run at a time:\n"
            "    @120-121 (block 1): FF FF -> 00 00\n"
            "    @340 (block 5, in SMS1): 20 -> 78\n"
            "with decimal offsets, the block (\"file only\" from byte 960 on) and the bytes in "
            "hexadecimal.\n"
            "--json prints {\"equal\": BOOL, \"differences\": [{\"field\": NAME, [\"where\": "
            "TEXT,]\n"
            "\"a\": VALUE, \"b\": VALUE}, ...]}. Exit status 0 when the files are equal byte for "
            "byte,\n"
            "1 when anything differs, 2 when a file cannot be read.\n",
            {kJsonOption},
            2,
            2,
            RunDiff};
}

}  // namespace orbiqa::cli
