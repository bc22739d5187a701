#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "serial/PortName.h"

using namespace orbiqa;

// Every form a port's name takes, read once for the window, the settings file, the command line,
// the simulator and the system devices alike.
TEST(PortName, EveryForm) {
    const std::pair<const char*, std::optional<std::string>> cases[] = {
        // COM names: the prefix in any case or none, the number as StrToInt reads it.
        {"COM7", "COM7"},
        {"com7", "COM7"},
        {"cOm7", "COM7"},
        {"7", "COM7"},
        {"COM007", "COM7"},
        {"COM 7", "COM7"},
        {"COM+7", "COM7"},
        {"COM$10", "COM16"},
        {"COM0x0A", "COM10"},
        {"COM1", "COM1"},
        {"COM256", "COM256"},
        {"COM0", std::nullopt},
        {"COM257", std::nullopt},
        {"COM-3", std::nullopt},
        {"COM99999999999", std::nullopt},
        {"COM", std::nullopt},
        {"", std::nullopt},
        {"COM7 ", std::nullopt},
        {"COM7x", std::nullopt},
        {"COMX", std::nullopt},
        {"LPT1", std::nullopt},
        {"\\\\.\\COM7", std::nullopt},
        {"Sajátport (COM5)", std::nullopt},
        {"/dev/ttyUSB0", std::nullopt},
        // Network ports: the scheme in any case, the canonical text lower case and numeric.
        {"rfc2217://127.0.0.1:2217", "rfc2217://127.0.0.1:2217"},
        {"RFC2217://host.example:4000", "rfc2217://host.example:4000"},
        {"Socket://127.1:7000", "socket://127.0.0.1:7000"},
        {"socket://[::1]:7000", "socket://[::1]:7000"},
        {"socket://host", std::nullopt},
        {"rfc2217://host:0", std::nullopt},
        {"rfc2217://host:65536", std::nullopt},
        {"rfc2217://:2217", std::nullopt},
        // A network address is never read as a COM name, whatever follows the scheme.
        {"socket://7", std::nullopt},
    };
    for (const auto& [text, canonical] : cases) EXPECT_EQ(CanonicalPortName(text), canonical) << text;
}

TEST(PortName, NumbersOnlyForComNames) {
    EXPECT_EQ(ComPortNumberOf("com105"), 105);
    EXPECT_EQ(ComPortNumberOf("rfc2217://127.0.0.1:2217"), std::nullopt);
    EXPECT_EQ(ComPortName(42), "COM42");
}
