// status: polls the module with "??" and prints each status message it answers with.
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <exception>
#include <ostream>

#include "Commands.h"
#include "CommandSession.h"
#include "JsonWriter.h"
#include "base/Win1250.h"
#include "status/ModuleStatusText.h"

namespace orbiqa::cli {

namespace {

// As long as a block read may take: a module that stays silent longer is not answering.
constexpr int kSilenceLimitMs = kReadReplyTicks * kWaitTickMs;
constexpr int kMaxCount = 1000000;

struct StatusForm {
    bool json = false;
    bool timestamps = false;
};

std::string StatusLine(const std::array<std::uint8_t, 4>& bytes, const StatusForm& form) {
    const ModuleStatusView view = DescribeModuleStatus(bytes);
    const std::uint8_t code = bytes[LineState];
    const std::string in1 = Win1250ToUtf8(view.IN1.Text);
    const std::string line = Win1250ToUtf8(view.LineVoltage.Text);
    const std::string gsm = Win1250ToUtf8(LineStateLabel(code).Text);
    if (form.json) {
        JsonObject object;
        if (form.timestamps) object.Text("time", LocalTimestamp());
        return object.Text("IN1", in1)
            .Bool("in1Short", (bytes[StatusFlags] & kFlagIN1Shorted) != 0)
            .Text("line", line)
            .Bool("linePresent", (bytes[StatusFlags] & kFlagLinePresent) != 0)
            .Text("GSM", gsm)
            .Number("code", code)
            .Raw("signal", view.SignalText)
            .Line();
    }
    return (form.timestamps ? LocalTimestamp() + "\t" : std::string()) + "IN1=" + in1 +
           "\tline=" + line + "\tGSM=" + gsm + "\tcode=" + std::to_string(code) +
           "\tsignal=" + view.SignalText;
}

class StatusPrinter final : public StatusConsumer {
public:
    StatusPrinter(std::ostream& out, int count, StatusForm form, QEventLoop& loop)
        : out_(out), count_(count), form_(form), loop_(loop) {
        sinceAnswer_.start();
    }

    void ModuleStatusReceived(const std::array<std::uint8_t, 4>& statusBytes) override {
        if (count_ > 0 && received_ >= count_) return;
        out_ << StatusLine(statusBytes, form_) << std::endl;
        // Nobody reads the lines any more (a closed pipe): polling on would be for nothing.
        if (!out_.good()) return loop_.quit();
        sinceAnswer_.restart();
        if (++received_ == count_) loop_.quit();
    }

    bool Silent() const { return sinceAnswer_.elapsed() >= kSilenceLimitMs; }

private:
    std::ostream& out_;
    int count_;
    StatusForm form_;
    QEventLoop& loop_;
    int received_ = 0;
    QElapsedTimer sinceAnswer_;
};

int RunStatus(const ParsedArgs& args, Io& io) {
    const std::string port = RequiredPort(args);
    const auto countText = args.Value("--count");
    const int count = countText ? ParseWholeNumber("--count", *countText, 1, kMaxCount) : 0;

    TerminalSession session(port);
    QEventLoop loop;
    StatusPrinter printer(io.out, count, {args.Flag("--json"), args.Flag("--timestamps")}, loop);
    session.Link().Dispatch().SetStatusConsumer(&printer);
    session.OnInterrupt([&](int) { loop.quit(); });

    bool silent = false;
    std::exception_ptr failure;
    const auto poll = [&] {
        if (printer.Silent()) silent = true;
        if (silent || session.DeviceLost()) return loop.quit();
        try {
            session.Link().SendTextLine(kStatusPollLine);
        } catch (...) {
            // Errors must not cross the event loop; they are raised again below.
            failure = std::current_exception();
            loop.quit();
        }
    };
    QTimer timer;
    timer.setInterval(kStatusPollIntervalMs);
    QObject::connect(&timer, &QTimer::timeout, poll);
    timer.start();
    QTimer::singleShot(0, &loop, poll);
    loop.exec();
    timer.stop();
    session.Link().Dispatch().SetStatusConsumer(nullptr);

    if (failure) std::rethrow_exception(failure);
    session.CheckDevice();
    if (silent)
        throw CliFailure(kExitNoAnswer, session.PortName() +
                                            ": the module did not answer the status poll for " +
                                            std::to_string(kSilenceLimitMs / 1000) + " s" +
                                            session.SilenceNote());
    return kExitOk;
}

}  // namespace

CommandDef StatusCommand() {
    return {
        "status",
        "status -p PORT [--count N] [--json] [--timestamps]",
        "poll the module's state every 500 ms and print it",
        "Sends the status poll \"??\" every 500 ms and prints one line for each status message:\n"
        "    IN1=Nyitva<TAB>line=Vonal rendben<TAB>GSM=Alaphelyzetben.<TAB>code=0<TAB>signal=17\n"
        "IN1 and the wired line as the status window shows them, the GSM line state's text and "
        "code,\n"
        "and the signal strength (0..31). --timestamps puts the local time (ISO 8601) and a tab "
        "in\n"
        "front; --json prints one JSON object a line instead:\n"
        "    {[\"time\": T, ]\"IN1\": TEXT, \"in1Short\": BOOL, \"line\": TEXT, \"linePresent\": "
        "BOOL,\n"
        "     \"GSM\": TEXT, \"code\": N, \"signal\": N}\n"
        "Runs until N lines are printed, or until interrupted (exit status 0). Exit status 4 when "
        "no\n"
        "status message arrives for 5 s.\n",
        {PortOption(),
         {"--count", "N", "stop after N status lines (1..1000000)"},
         JsonOption(),
         TimestampsOption()},
        0,
        0,
        RunStatus};
}

}  // namespace orbiqa::cli
