// ports: the port list as the chooser builds it, once or followed live.
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <cstdlib>
#include <map>
#include <memory>
#include <ostream>

#include "Commands.h"
#include "Console.h"
#include "CommandSession.h"
#include "JsonWriter.h"
#include "base/Errors.h"
#include "base/Win1250.h"
#include "serial/PortName.h"
#include "ports/SystemDeviceWatcher.h"
#include "serial/PortLinks.h"
#include "ports/SystemRegistryReader.h"
#include "ports/SorosKeres.h"

namespace orbiqa::cli {

namespace {

constexpr int kPresenceCheckMs = 1000;

char MarkOf(const std::string& record) {
    switch (PresenceOf(record)) {
        case RecordPresence::Present: return '+';
        case RecordPresence::Absent: return '-';
        case RecordPresence::Unmarked: break;
    }
    return ' ';
}

// One port as JSON members, after the leading ones the object holds already.
JsonObject PortJson(const std::string& record, JsonObject object = {}) {
    const std::string com = PortNameOf(record);
    const std::string device = com.empty() ? std::string() : ResolvePortDevice(com).value_or("");
    return object.Text("port", com)
        .Text("device", device)
        .Bool("present", PresenceOf(record) == RecordPresence::Present)
        .Text("name", Win1250ToUtf8(RecordName(record)))
        .Text("description", Win1250ToUtf8(RecordDescription(record)));
}

std::string PortLine(char mark, const std::string& record) {
    return std::string(1, mark) + ' ' + Win1250ToUtf8(RecordName(record)) + '\t' +
           Win1250ToUtf8(RecordDescription(record));
}

// --watch: the present ports first, then each arrival and removal as the list sees it, until
// interrupted. Device reports make it follow at once; the one-second presence check catches
// what no report tells (a simulator's terminal that ended).
int WatchPorts(bool json, Io& io) {
    const std::shared_ptr<RegistryReader> reader = CreateSystemRegistryReader();
    SorosKeres keres(reader);
    QEventLoop loop;
    std::map<int, std::string> shown;  // port number -> record shown as present
    std::string failure;
    auto print = [&](bool arrived, const std::string& record) {
        if (json)
            io.out << PortJson(record, JsonObject().Text("event", arrived ? "arrived" : "removed")).Line();
        else
            io.out << PortLine(arrived ? '+' : '-', record);
        io.out << std::endl;
    };
    auto refresh = [&](bool rescan) {
        if (!failure.empty()) return;
        std::map<int, std::string> present;
        try {
            if (rescan) keres.RescanDevices();
            PortRecords records;
            keres.BuildPortList(records);
            for (const std::string& record : records) {
                const std::string com = PortNameOf(record);
                if (PresenceOf(record) == RecordPresence::Present && !com.empty())
                    present.emplace(ComNameNumber(com), record);
            }
        } catch (const OrbiqaError& e) {
            failure = e.what();
            loop.quit();
            return;
        }
        for (const auto& [number, record] : shown) {
            const auto now = present.find(number);
            if (now == present.end() || now->second != record) print(false, record);
        }
        for (const auto& [number, record] : present) {
            const auto before = shown.find(number);
            if (before == shown.end() || before->second != record) print(true, record);
        }
        shown = std::move(present);
    };

    QObject context;
    const std::unique_ptr<DeviceWatcher> watcher = CreateSystemDeviceWatcher();
    // Started before the first list, so that nothing between the two goes unseen.
    watcher->Start([&](const DeviceEvent& event) {
        QMetaObject::invokeMethod(&context, [&, event] {
            reader->NoteDeviceEvent(event);
            refresh(true);
        }, Qt::QueuedConnection);
    });
    refresh(true);
    QTimer presenceCheck;
    QObject::connect(&presenceCheck, &QTimer::timeout, &context, [&] { refresh(false); });
    presenceCheck.start(kPresenceCheckMs);
    InterruptWatch interrupts;
    interrupts.onInterrupt = [&](int) { loop.quit(); };
    if (failure.empty()) loop.exec();
    watcher->Stop();
    if (!failure.empty()) throw CliFailure(kExitPort, "cannot list the ports: " + failure);
    return kExitOk;
}

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
    // Checked as every module command checks it, so that a malformed one is refused here too
    // rather than silently left out of the list.
    const char* fromEnvironment = std::getenv("ORBIQA_PORT");
    if (fromEnvironment && *fromEnvironment) {
        const std::string text = fromEnvironment;
        if (IsDevicePath(text))
            ResolvePortArgument(text);
        else if (const std::string port = ParsePortName(text); LooksLikeNetworkPort(text))
            add(port);
    }
    return named;
}

int RunPorts(const ParsedArgs& args, Io& io) {
    const bool json = args.Flag("--json");
    // Checked before anything is listed, followed or not.
    const std::vector<std::string> named = NamedNetworkPorts(args);
    if (args.Flag("--watch")) return WatchPorts(json, io);
    PortRecords records;
    try {
        SorosKeres keres(CreateSystemRegistryReader());
        keres.BuildPortList(records);
    } catch (const OrbiqaError& e) {
        throw CliFailure(kExitPort, std::string("cannot list the ports: ") + e.what());
    }
    if (json) {
        std::vector<std::string> items;
        // Network ports are not discovered: those the user names are listed first, unopened.
        for (const std::string& address : named)
            items.push_back(JsonObject()
                                .Text("port", address)
                                .Text("device", "")
                                .Null("present")
                                .Text("name", address)
                                .Text("description", kNetworkDescription)
                                .Line());
        for (const std::string& record : records) items.push_back(PortJson(record).Line());
        io.out << JsonLinesArray(items, "  ", "") << "\n";
        return kExitOk;
    }
    for (const std::string& address : named) io.out << "  " << address << '\t' << kNetworkDescription << '\n';
    for (const std::string& record : records) io.out << PortLine(MarkOf(record), record) << '\n';
    return kExitOk;
}

}  // namespace

CommandDef PortsCommand() {
    return {"ports",
            "ports [-p NETWORK-PORT]... [--json] [--watch]",
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
            "built.\n"
            "--watch prints the present ports, then one line per port that arrives (\"+\") or goes "
            "(\"-\"),\n"
            "as soon as the system reports it, until interrupted; with --json one object a line,\n"
            "{\"event\": \"arrived\" or \"removed\", \"port\": ..., and the members above}.\n",
            {JsonOption(),
             {"--port", "NETWORK-PORT", "a network port to list; once per port", "-p", true},
             {"--watch", "", "follow arrivals and removals until interrupted"}},
            0,
            0,
            RunPorts};
}

}  // namespace orbiqa::cli
