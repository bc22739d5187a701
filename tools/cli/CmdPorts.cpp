// ports: the port list as the chooser builds it.
#include <memory>
#include <ostream>

#include "Commands.h"
#include "base/Errors.h"
#include "base/Win1250.h"
#include "platform/SystemRegistryReader.h"
#include "ports/SorosKeres.h"

namespace orbiqa::cli {

namespace {

int RunPorts(const ParsedArgs&, Io& io) {
    PortRecords records;
    try {
        SorosKeres keres(CreateSystemRegistryReader());
        keres.BuildPortList(records);
    } catch (const OrbiqaError& e) {
        throw CliFailure(kExitPort, std::string("cannot list the ports: ") + e.what());
    }
    for (const std::string& record : records) {
        const char mark =
            !record.empty() && (record[0] == '+' || record[0] == '-') ? record[0] : ' ';
        io.out << mark << ' ' << Win1250ToUtf8(RecordName(record)) << '\t'
               << Win1250ToUtf8(RecordDescription(record)) << '\n';
    }
    return kExitOk;
}

}  // namespace

CommandDef PortsCommand() {
    return {"ports",
            "ports",
            "list the serial ports as the port chooser shows them",
            "One port a line, in port number order: a mark (\"+\" present now, \"-\" known but "
            "absent),\n"
            "a blank, the port's display name with \"(COMn)\", a tab, and its description (the "
            "maker and\n"
            "the devices attached). The simulator's ports appear as \"Pseudo terminal - pts/N "
            "(COMn)\".\n"
            "Nothing is opened. Exit status 3 when the list cannot be built.\n",
            {},
            0,
            0,
            RunPorts};
}

}  // namespace orbiqa::cli
