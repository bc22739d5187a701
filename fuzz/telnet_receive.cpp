// The receive path of a network port: what a Telnet/RFC 2217 server sends, taken apart in one
// piece and in the pieces TCP may cut it into, must give the same data and answers; the data a
// peer escapes comes back unchanged whatever surrounds it; and the port address text parses to a
// canonical form that parses to itself.
#include <vector>

#include "FuzzSupport.h"
#include "serial/PortName.h"
#include "netport/TelnetComPort.h"

using namespace orbiqa;
using namespace orbiqa::fuzz;

namespace {

struct Outcome {
    TelnetComPort::Bytes data, answers;
    TelnetComPort::ComPortState state;
    bool acknowledged;
    std::uint32_t baud;
    unsigned refused;
};

Outcome Run(const std::uint8_t* bytes, std::size_t size, std::size_t piece) {
    TelnetComPort telnet;
    Outcome o;
    o.answers = telnet.Start();
    for (std::size_t at = 0; at < size; at += piece) {
        const std::size_t n = std::min(piece, size - at);
        telnet.Feed(bytes + at, n, o.data);
        const auto more = telnet.TakeOutput();
        o.answers.insert(o.answers.end(), more.begin(), more.end());
    }
    o.state = telnet.State();
    o.acknowledged = telnet.SettingsAcknowledged();
    o.baud = telnet.ServerBaudRate();
    o.refused = telnet.RefusedSettings();
    return o;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t piece = 1 + data[0] % 7;
    const std::uint8_t* stream = data + 1;
    const std::size_t length = size - 1;

    const Outcome whole = Run(stream, length, length == 0 ? 1 : length);
    const Outcome cut = Run(stream, length, piece);
    FUZZ_CHECK(whole.data == cut.data);
    FUZZ_CHECK(whole.answers == cut.answers);
    FUZZ_CHECK(whole.state == cut.state && whole.acknowledged == cut.acknowledged &&
               whole.baud == cut.baud && whole.refused == cut.refused);
    FUZZ_CHECK((whole.refused & ~unsigned{TelnetComPort::kAllSettings}) == 0);
    FUZZ_CHECK(whole.data.size() <= length);
    // Every answer is bounded by what asked for it: three bytes per request, plus the opening
    // requests and the line settings once.
    FUZZ_CHECK(whole.answers.size() <= 3 * length + 256);

    // Escaped data read after any stream that ended in plain data comes back unchanged.
    TelnetComPort telnet;
    TelnetComPort::Bytes escaped, out;
    TelnetComPort::Escape(stream, length, escaped);
    telnet.Feed(escaped.data(), escaped.size(), out);
    FUZZ_CHECK(out == TelnetComPort::Bytes(stream, stream + length));

    const std::string_view text(reinterpret_cast<const char*>(stream), length);
    if (const auto address = ParseNetworkPort(text)) {
        const auto again = ParseNetworkPort(address->Text());
        FUZZ_CHECK(again && again->Text() == address->Text() && again->port == address->port);
        FUZZ_CHECK(LooksLikeNetworkPort(text));
    }
    return 0;
}
