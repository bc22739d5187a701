// ports: the port list as the chooser builds it.
#include <memory>
#include <ostream>

#include "Commands.h"
#include "JsonText.h"
#include "base/Errors.h"
#include "base/Win1250.h"
#include "platform/SystemRegistryReader.h"
#include "platform/PortLinks.h"
#include "ports/SorosKeres.h"

namespace orbiqa::cli {

namespace {

int RunPorts(const ParsedArgs& args, Io& io) {
    PortRecords records;
    try {
        SorosKeres keres(CreateSystemRegistryReader());
        keres.BuildPortList(records);
    } catch (const OrbiqaError& e) {
        throw CliFailure(kExitPort, std::string("cannot list the ports: ") + e.what());
    }
    const bool json = args.Flag("--json");
    if (json) io.out << "[";
    bool first = true;
    for (const std::string& record : records) {
        const char mark =
            !record.empty() && (record[0] == '+' || record[0] == '-') ? record[0] : ' ';
        const std::string name = Win1250ToUtf8(RecordName(record));
        const std::string description = Win1250ToUtf8(RecordDescription(record));
        if (!json) {
            io.out << mark << ' ' << name << '\t' << description << '\n';
            continue;
        }
        const auto open = name.rfind("(COM");
        const auto close = name.find(')', open == std::string::npos ? 0 : open);
        const std::string com = open != std::string::npos && close != std::string::npos
                                    ? name.substr(open + 1, close - open - 1)
                                    : std::string();
        const std::string device =
            com.empty() ? std::string() : ResolvePortDevice(com).value_or("");
        io.out << (first ? "\n" : ",\n") << "  {\"port\": " << JsonQuote(com)
               << ", \"device\": " << JsonQuote(device)
               << ", \"present\": " << (mark == '+' ? "true" : "false")
               << ", \"name\": " << JsonQuote(name)
               << ", \"description\": " << JsonQuote(description) << "}";
        first = false;
    }
    if (json) io.out << (first ? "]\n" : "\n]\n");
    return kExitOk;
}

}  // namespace

CommandDef PortsCommand() {
    return {"ports",
            "ports [--json]",
            "list the serial ports as the port chooser shows them",
            "One port a line, in port number order: a mark (\"+\" present now, \"-\" known but "
            "absent),\n"
            "a blank, the port's display name with \"(COMn)\", a tab, and its description (the "
            "maker and\n"
            "the devices attached). The simulator's ports appear as \"Pseudo terminal - pts/N "
            "(COMn)\".\n"
            "--json prints an array of {\"port\": \"COMn\", \"device\": PATH, \"present\": BOOL, "
            "\"name\": ...,\n"
            "\"description\": ...}. Nothing is opened. Exit status 3 when the list cannot be "
            "built.\n",
            {JsonOption()},
            0,
            0,
            RunPorts};
}

}  // namespace orbiqa::cli
