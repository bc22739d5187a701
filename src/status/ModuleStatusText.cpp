#include "status/ModuleStatusText.h"

#include <algorithm>

#include "base/IntText.h"

namespace orbiqa {

// The texts are Windows-1250 bytes, as every text of the program's core.
StatusLabel LineStateLabel(std::uint8_t code) {
    switch (code) {
        case 0: return {"Alaphelyzetben.", kBlack};
        case 1: return {"Beemelve, t\xE1rcs\xE1z\xE1sra v\xE1r.", kRed};          // tárcsázásra vár
        case 2: return {"Kimen\xF5 h\xEDv\xE1s folyamatban", kGreen};               // Kimenő hívás
        case 3: return {"Automatikus Contact-ID v\xE9tel", kBlue};                   // vétel
        case 4: return {"Bej\xF6v\xF5 h\xEDv\xE1s, beemel\xE9sre v\xE1r", kRed};    // Bejövő ..., beemelésre vár
        case 5: return {"Bej\xF6v\xF5 h\xEDv\xE1s folyamatban", kGreen};
        case 6: return {"Automatikus h\xEDv\xE1s folyamatban.", kGreen};
        case 9: return {"H\xEDv\xE1s v\xE9ge.", kGreen};                             // Hívás vége.
        case 11: return {"Kimenet vez\xE9rl\xF5 h\xEDv\xE1s folyamatban", kGreen};  // vezérlő hívás
        default: return {".", kBlack};
    }
}

ModuleStatusView DescribeModuleStatus(const std::array<std::uint8_t, 4>& statusBytes) {
    const std::uint8_t flags = statusBytes[StatusFlags];
    const std::uint8_t signal = statusBytes[SignalStrength];
    const std::uint8_t line = statusBytes[LineState];

    ModuleStatusView v;
    v.IN1 = (flags & kFlagIN1Shorted) ? StatusLabel{"R\xF6vidz\xE1r", kRed}  // Rövidzár
                                      : StatusLabel{"Nyitva", kBlack};
    v.LineVoltage = (flags & kFlagLinePresent) ? StatusLabel{"Vonal rendben", kGreen}
                                               : StatusLabel{"Nincs vonal", kRed};
    v.GSMLine = LineStateLabel(line);
    v.GSMLine.Text += ' ' + IntToStr(line);
    v.SignalBarPosition = std::min<int>(signal, kSignalMaximum);
    v.SignalText = IntToStr(signal);
    return v;
}

}  // namespace orbiqa
