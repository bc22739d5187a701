#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "base/Errors.h"
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

// The same reading without the range, for lists that keep a name as the system gave it.
TEST(PortName, TheWrittenNumberBeyondTheRange) {
    const std::pair<const char*, int> numbers[] = {
        {"COM7", 7}, {"com$1F", 31}, {"COM257", 257}, {"COM0", 0}, {"COM-3", -3}, {"12", 12},
    };
    for (const auto& [text, number] : numbers) {
        EXPECT_EQ(ComNameNumber(text), number) << text;
        // Inside the range both readings agree.
        if (number >= 1 && number <= 256) {
            EXPECT_EQ(ComPortNumberOf(text), number) << text;
        }
    }
    const std::pair<const char*, const char*> refused[] = {
        {"COM", "'' is not a valid integer value"},
        {"COM1 port", "'1 port' is not a valid integer value"},
        {"COMx1", "'x1' is not a valid integer value"},
    };
    for (const auto& [text, message] : refused) {
        try {
            ComNameNumber(text);
            ADD_FAILURE() << text;
        } catch (const EConvertError& e) {
            EXPECT_STREQ(e.what(), message);
        }
    }
}
