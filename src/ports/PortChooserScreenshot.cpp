#include "ports/PortChooserScreenshot.h"

#include <QPixmap>

#include "ports/FormComPort.h"
#include "ports/MemoryRegistry.h"

namespace orbiqa {

bool RenderPortChooser(const QString& path) {
    auto registry = std::make_shared<MemoryRegistry>();
    const std::string enumRoot = "\\SYSTEM\\CurrentControlSet\\Enum";
    struct Sample {
        const char* key;
        const char* name;
        const char* maker;
        bool present;
    };
    const Sample samples[] = {
        {"TTY\\ttyS0", "Communications Port - ttyS0 (COM1)", "", true},
        {"PORTLINK\\COM7", "Pseudo terminal - pts/3 (COM7)", "(Orbiqa port link)", true},
        {"TTY\\ttyUSB0", "FT232R USB UART - ttyUSB0 (COM33)", "FTDI", true},
        {"TTY\\ttyUSB1", "CP2102 USB to UART Bridge Controller - ttyUSB1 (COM34)", "Silicon Labs", false},
        {"TTY\\ttyACM0", "USB Modem - ttyACM0 (COM65)", "Orbiqa", false},
    };
    for (const Sample& s : samples) {
        const std::string key = enumRoot + "\\" + s.key;
        registry->SetString(key, "Class", "Ports");
        registry->SetString(key, "FriendlyName", s.name);
        registry->SetString(key, "Mfg", s.maker);
        if (s.present) {
            const std::string name = s.name;
            const std::size_t open = name.rfind("(COM");
            registry->SetString("\\HARDWARE\\DEVICEMAP\\SERIALCOMM", s.key, name.substr(open + 1, name.size() - open - 2));
        }
    }
    SorosKeres keres(registry);
    TFormComPort window(keres);
    window.SetDefaultDisplayName("FT232R USB UART - ttyUSB0 (COM33)");
    window.SetNetworkPorts({"rfc2217://10.0.0.7:2217", "socket://ser2net-bench:4001"});
    window.show();
    window.FormActivate();
    const bool saved = window.grab().save(path, "PNG");
    window.FormClose();
    return saved;
}

}  // namespace orbiqa
