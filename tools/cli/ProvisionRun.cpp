#include "ProvisionRun.h"

#include <array>
#include <chrono>

#include "ImageReport.h"
#include "ModuleCheck.h"
#include "CommandSession.h"

namespace orbiqa::cli {

namespace {

/// A module's outcome without its port, which its line already names: "COM90 (/dev/pts/3): the
/// device went away ..." loses its label, and "cannot open COM34 (/dev/ttyUSB1): Permission
/// denied" becomes "cannot open: Permission denied" with the device moved into the label.
void DropPortLabel(ProvisionResult& r) {
    const std::string open = "cannot open " + r.port;
    if (r.text.rfind(open, 0) == 0) {
        const std::string rest = r.text.substr(std::string("cannot open ").size());
        const auto colon = rest.find(": ");
        if (colon != std::string::npos) {
            r.label = rest.substr(0, colon);
            r.text = "cannot open: " + rest.substr(colon + 2);
        }
        return;
    }
    if (r.text.rfind(r.label + ": ", 0) == 0) r.text = r.text.substr(r.label.size() + 2);
}

}  // namespace

ProvisionResult ProvisionOne(const ProvisionModule& m, const std::atomic<bool>& stop, int signal) {
    const auto start = std::chrono::steady_clock::now();
    ProvisionResult result{m.port, m.port, {}, kExitOk, {}, -1, 0, {}};
    try {
        CommandSession session(m.port, &stop);
        result.label = session.PortLabel();
        result.device = session.DevicePath();
        std::array<std::uint8_t, kParameterImageSize> work{};
        std::copy(m.image.begin(), m.image.end(), work.begin());
        TransferEngine engine(session.Channel(), work, session.Wait());
        const TransferResult written = engine.Write();
        if (!written.Succeeded()) {
            const Outcome o = StoppedTransfer(session, stop ? signal : 0, written, "written");
            result.status = o.status;
            result.text = o.text;
            result.failedBlock = written.failedBlock;
        } else {
            const ModuleComparison c = CompareWithModule(engine, m.image);
            if (!c.differingBlocks.empty()) {
                result.status = kExitDiffers;
                result.text = "acknowledged every block but differs " + DifferenceText(c);
                result.failedBlock = c.differingBlocks.front();
            } else if (!c.read.Succeeded()) {
                const Outcome o = StoppedTransfer(session, stop ? signal : 0, c.read, "read back");
                result.status = o.status;
                result.text = "verify: " + o.text;
                result.failedBlock = c.read.failedBlock;
            } else {
                result.text = "written and verified";
            }
        }
    } catch (const CliFailure& f) {
        result.status = f.Status();
        result.text = f.what();
    } catch (const std::exception& e) {
        // A send error (EComPort) or anything else ends this module only; a send that Ctrl+C
        // cut short is an interruption, not a failed port.
        result.status = stop ? 128 + signal : kExitPort;
        result.text =
            stop ? std::string("interrupted") : std::string("the port failed: ") + e.what();
    }
    DropPortLabel(result);
    result.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result.finished = LocalTimestamp();
    return result;
}

}  // namespace orbiqa::cli
