// monitor: the module's text messages by channel, a line at a time.
#include <QEventLoop>
#include <QTimer>
#include <map>
#include <ostream>

#include "Commands.h"
#include "CommandSession.h"
#include "MonitorLines.h"
#include "base/Win1250.h"

namespace orbiqa::cli {

namespace {

constexpr int kMaxSeconds = 24 * 60 * 60;
constexpr int kDeviceCheckMs = 200;

/// The four channels of the traffic log; the status window's copy of channels 1 and 2 is left
/// out, it would only repeat them.
class TextPrinter final : public TextConsumer {
public:
    TextPrinter(std::ostream& out, bool timestamps) {
        const std::pair<LogPane, const char*> channels[] = {{LogPane::Memo3, "1"},
                                                            {LogPane::Memo4, "2"},
                                                            {LogPane::Memo5, "3"},
                                                            {LogPane::MemoDTMF, "DTMF"}};
        for (const auto& [pane, label] : channels) {
            const std::string prefix = std::string(label) + ": ";
            lines_.emplace(pane, ChannelLines([&out, prefix, timestamps](const std::string& line) {
                               if (timestamps) out << LocalTimestamp() << '\t';
                               out << prefix << Win1250ToUtf8(line) << std::endl;
                           }));
        }
    }

    void AppendLogText(LogPane pane, const std::string& text, bool) override {
        const auto it = lines_.find(pane);
        if (it != lines_.end()) it->second.Append(text);
    }

    void Flush() {
        for (auto& [pane, lines] : lines_) lines.Flush();
    }

private:
    std::map<LogPane, ChannelLines> lines_;
};

int RunMonitor(const ParsedArgs& args, Io& io) {
    const std::string port = RequiredPort(args);
    const auto secondsText = args.Value("--seconds");
    const int seconds =
        secondsText ? ParseWholeNumber("--seconds", *secondsText, 1, kMaxSeconds) : 0;

    TerminalSession session(port);
    QEventLoop loop;
    TextPrinter printer(io.out, args.Flag("--timestamps"));
    session.Link().Dispatch().SetTextConsumer(&printer);
    session.OnInterrupt([&](int) { loop.quit(); });

    QTimer deviceCheck;
    QObject::connect(&deviceCheck, &QTimer::timeout, [&] {
        if (session.DeviceLost()) loop.quit();
    });
    deviceCheck.start(kDeviceCheckMs);
    if (seconds > 0) QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    deviceCheck.stop();
    session.Link().Dispatch().SetTextConsumer(nullptr);
    printer.Flush();
    session.CheckDevice();
    return kExitOk;
}

}  // namespace

CommandDef MonitorCommand() {
    return {
        "monitor",
        "monitor -p PORT [--seconds S] [--timestamps]",
        "print the module's text messages by channel",
        "Prints each line of text the module sends, prefixed with its channel: \"1: \", \"2: \", "
        "\"3: \"\n"
        "or \"DTMF: \". A carriage return ends a line (two in a row give a line holding one "
        "blank);\n"
        "line feeds are ignored; texts sent in several messages join until their carriage return.\n"
        "A line is printed when it ends; an unfinished line is printed when monitoring stops. Runs "
        "for\n"
        "S seconds, or until interrupted (exit status 0). Nothing is sent to the module.\n"
        "--timestamps puts the local time (ISO 8601) and a tab in front of each line; the time "
        "is\n"
        "when the line was printed, that is when its carriage return arrived.\n",
        {PortOption(), {"--seconds", "S", "stop after S seconds (1..86400)"}, TimestampsOption()},
        0,
        0,
        RunMonitor};
}

}  // namespace orbiqa::cli
