// "APNs.dat" and the preset parse: any file as the preset list, every line parsed as the editor's
// drop-down does, and made lines parsed back.
#include "FuzzSupport.h"
#include "params/ApnPresets.h"

using namespace orbiqa;
using namespace orbiqa::fuzz;

namespace {

bool Plain(const std::string& s) { return s.find('"') == std::string::npos; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const ScratchFile file("apns");
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    const auto loaded = LoadApnPresetFile(file.Write(text));
    const std::vector<std::string> lines = SplitPresetLines(text);
    FUZZ_CHECK(loaded.has_value() == !lines.empty());
    if (loaded) FUZZ_CHECK(*loaded == lines);

    for (const std::string& line : lines) {
        FUZZ_CHECK(line.find_first_of("\r\n") == std::string::npos);
        const ApnSettings values = ParseApnPreset(line);
        FUZZ_CHECK(Plain(values.APN) && Plain(values.UserName) && Plain(values.PWD));
        const std::string name = ApnPresetName(line);
        FUZZ_CHECK(Plain(name) && (name.empty() || name.back() != ' '));
    }
    // The lines joined again split into the same lines.
    std::string joined;
    for (const std::string& line : lines) joined += line + "\r\n";
    FUZZ_CHECK(SplitPresetLines(joined) == lines);

    // A preset made from values without quotes parses back to them.
    ByteCursor in(data, size);
    std::string name = in.Text(50);
    ApnSettings values{in.Text(40), in.Text(20), in.Text(20)};
    if (Plain(name) && Plain(values.APN) && Plain(values.UserName) && Plain(values.PWD)) {
        const std::string line = MakeApnPresetLine(name, values);
        FUZZ_CHECK(ParseApnPreset(line) == values);
        while (!name.empty() && name.back() == ' ') name.pop_back();
        FUZZ_CHECK(ApnPresetName(line) == name);
    }
    return 0;
}
