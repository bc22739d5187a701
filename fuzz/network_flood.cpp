// A network port's receive queues under a server that floods: the input's stream, repeated up to
// 24 times, is taken in whatever pieces the queue has room for, while the port's reader and the
// server take data and answers at the pace the input's script says. Whatever arrives, neither
// queue grows beyond its bound, and no data byte and no answer is lost or reordered: what came
// out equals what the same stream gives when taken apart in one piece.
#include <algorithm>
#include <vector>

#include "FuzzSupport.h"
#include "netport/NetworkReceiveQueue.h"

using namespace orbiqa;
using namespace orbiqa::fuzz;

namespace {

constexpr std::size_t kScriptLength = 16;
constexpr std::size_t kMaxRepeats = 24;  // up to 96 KiB: more than the data queue holds
// Answers that are not three-for-three: the opening requests and the line settings.
constexpr std::size_t kAnswerSlack = 256;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ByteCursor in(data, size);
    const std::uint8_t flags = in.Byte();
    const bool telnet = flags & 1;
    const std::size_t repeats = 1 + in.Byte() % kMaxRepeats;
    std::vector<std::uint8_t> script;
    for (std::size_t i = 0; i < kScriptLength; ++i) script.push_back(in.Byte());
    const std::string_view piece = in.Rest();
    if (piece.empty()) return 0;
    std::vector<std::uint8_t> stream;
    for (std::size_t r = 0; r < repeats; ++r) stream.insert(stream.end(), piece.begin(), piece.end());

    NetworkReceiveQueue queue(telnet);
    TelnetComPort::Bytes dataOut, answersOut = queue.Telnet().Start();
    std::vector<std::uint8_t> buffer(NetworkReceiveQueue::kDataLimit);
    const auto takeData = [&](std::size_t count) {
        const std::size_t n = queue.Read(buffer.data(), std::min(count, buffer.size()));
        dataOut.insert(dataOut.end(), buffer.begin(), buffer.begin() + static_cast<long>(n));
    };
    const auto takeAnswers = [&](std::size_t count) {
        auto& answers = queue.Answers();
        const std::size_t n = std::min(count, answers.size());
        answersOut.insert(answersOut.end(), answers.begin(), answers.begin() + static_cast<long>(n));
        answers.erase(answers.begin(), answers.begin() + static_cast<long>(n));
    };

    std::size_t fed = 0;
    for (std::size_t step = 0; fed < stream.size(); ++step) {
        const std::uint8_t op = script[step % kScriptLength];
        const std::size_t amount = 1 + static_cast<std::size_t>(op >> 2) * 97;
        if (queue.Room() == 0) {
            // Nothing can be read from the socket until one side has taken something; a reader
            // or server that takes a byte at a time would only make the run slow.
            takeData(64 * amount);
            takeAnswers(64 * amount);
        } else if ((op & 3) <= 1 || step % kScriptLength == 0) {
            // The first step of every round feeds, so a script of nothing but takes still ends.
            const std::size_t n = std::min({queue.Room(), amount, stream.size() - fed});
            queue.Take(stream.data() + fed, n);
            fed += n;
        } else if ((op & 3) == 2) {
            takeData(amount);
        } else {
            takeAnswers(amount);
        }
        FUZZ_CHECK(queue.Pending() <= NetworkReceiveQueue::kDataLimit);
        FUZZ_CHECK(queue.Answers().size() <= NetworkReceiveQueue::kAnswerLimit);
    }
    while (queue.Pending()) takeData(queue.Pending());
    takeAnswers(queue.Answers().size());
    const auto peaks = queue.HighWater();
    FUZZ_CHECK(peaks.data <= NetworkReceiveQueue::kDataLimit);
    FUZZ_CHECK(peaks.answers <= NetworkReceiveQueue::kAnswerLimit);

    if (!telnet) {
        FUZZ_CHECK(dataOut == stream);
        return 0;
    }
    TelnetComPort whole;
    TelnetComPort::Bytes dataWhole, answersWhole = whole.Start();
    whole.Feed(stream.data(), stream.size(), dataWhole);
    const auto more = whole.TakeOutput();
    answersWhole.insert(answersWhole.end(), more.begin(), more.end());
    FUZZ_CHECK(dataOut == dataWhole);
    FUZZ_CHECK(answersOut == answersWhole);
    FUZZ_CHECK(answersWhole.size() <= 3 * stream.size() + kAnswerSlack);
    return 0;
}
