// ports: the port list as the chooser builds it.
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <ostream>

#include "Commands.h"
#include "JsonText.h"
#include "base/Errors.h"
#include "base/Win1250.h"
#include "link/NetworkPort.h"
#include "platform/PortLinks.h"
#include "platform/SystemRegistryReader.h"
#include "ports/SorosKeres.h"

namespace orbiqa::cli {

namespace {

const char* const kNetworkDescription = "(network port)";

// The network ports given with -p, then the one of $ORBIQA_PORT, each once; a -p that is no
// network port is a usage error, since local ports are listed anyway.
std::vector<std::string> NamedNetworkPorts(const ParsedArgs& args) {
    std::vector<std::string> named;
    auto add = [&named](const std::string& address) {
        if (std::find(named.begin(), named.end(), address) == named.end()) named.push_back(address);
    };
    for (const std::string& text : args.Values("--port")) {
        if (!LooksLikeNetworkPort(text))
            throw CliFailure(kExitUsage,
                             "ports: -p names a network port to list, not '" + text + "'");
        add(ParsePortName(text));
    }
    const char* fromEnvironment = std::getenv("ORBIQA_PORT");
    if (fromEnvironment && LooksLikeNetworkPort(fromEnvironment)) {
        if (const auto address = ParseNetworkPort(fromEnvironment)) add(address->Text());
    }
    return named;
}

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
    // Network ports are not discovered: those the user names are listed first, unopened.
    for (const std::string& address : NamedNetworkPorts(args)) {
        if (!json) {
            io.out << "  " << address << '\t' << kNetworkDescription << '\n';
            continue;
        }
        io.out << (first ? "\n" : ",\n") << "  {\"port\": " << JsonQuote(address)
               << ", \"device\": \"\", \"present\": null, \"name\": " << JsonQuote(address)
               << ", \"description\": " << JsonQuote(kNetworkDescription) << "}";
        first = false;
    }
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
            "ports [-p NETWORK-PORT]... [--json]",
            "list the serial ports as the port chooser shows them",
            "One port a line, in port number order: a mark (\"+\" present now, \"-\" known but "
            "absent),\n"
            "a blank, the port's display name with \"(COMn)\", a tab, and its description (the "
            "maker and\n"
            "the devices attached). The simulator's ports appear as \"Pseudo terminal - pts/N "
            "(COMn)\".\n"
            "Network ports (rfc2217://HOST:PORT, socket://HOST:PORT) are not discovered: those "
            "named with -p\n"
            "(once per port) and in $ORBIQA_PORT come first, with a blank mark and \"(network "
            "port)\".\n"
            "--json prints an array of {\"port\": \"COMn\", \"device\": PATH, \"present\": BOOL, "
            "\"name\": ...,\n"
            "\"description\": ...}. Nothing is opened. Exit status 3 when the list cannot be "
            "built.\n",
            {JsonOption(),
             {"--port", "NETWORK-PORT", "a network port to list; once per port", "-p", true}},
            0,
            0,
            RunPorts};
}

}  // namespace orbiqa::cli
