// Writes the seed corpora of the fuzz targets into <folder>/<target>/seed-*: well-formed inputs of
// every kind each target reads, so that the fuzzer starts from real traffic and real files.
// Usage: orbiqa-fuzz-seeds <folder>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ReceiveScript.h"
#include "params/ApnPresets.h"
#include "params/ImageFields.h"

using namespace orbiqa;
using namespace orbiqa::fuzz;
namespace fs = std::filesystem;
namespace A = orbiqa::EEAddr;

namespace {

fs::path gRoot;

void Seed(const std::string& target, const std::string& name, const std::string& bytes) {
    const fs::path dir = gRoot / target;
    fs::create_directories(dir);
    std::ofstream(dir / ("seed-" + name), std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}
void Seed(const std::string& target, const std::string& name, const std::vector<std::uint8_t>& bytes) {
    Seed(target, name, std::string(bytes.begin(), bytes.end()));
}

std::array<std::uint8_t, 13> Body(std::initializer_list<std::pair<int, std::uint8_t>> bytes) {
    std::array<std::uint8_t, 13> b{};
    for (auto [at, v] : bytes) b[static_cast<std::size_t>(at - 2)] = v;  // message byte numbers
    return b;
}

std::array<std::uint8_t, 13> ShortText(const char* text) {
    std::array<std::uint8_t, 13> b{};
    for (int i = 0; i < 4 && text[i]; ++i) b[static_cast<std::size_t>(9 + i)] = static_cast<std::uint8_t>(text[i]);
    return b;
}
std::array<std::uint8_t, 13> LongText(const char* text) {
    std::array<std::uint8_t, 13> b{};
    for (int i = 0; i < 13 && text[i]; ++i) b[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(text[i]);
    return b;
}

ParameterImage DemoImage() {
    ParameterImage im;
    StoreDigitField(im, A::AUTODIAL, {"0", "6", "3", "0", "1", "2", "3", "4", "5", "6", "7"}, 16);
    StoreDigitField(im, A::SMSFW1, {"0", "6", "7", "0"}, 16);
    StoreDigitField(im, A::NETPREFIX, {"0"}, 8);
    StoreEventCode(im, A::Event(1), {"1", "1", "3", "0"});
    StoreEventCode(im, A::Event(2), {"1", "*", "0", "1"});
    StoreSmsText(im, A::SMS(1), "Riaszt\xE1s \xFB \xDB");
    StorePlainText(im, A::APN, "internet", A::ApnCapacity);
    StorePlainText(im, A::UserName, "user name", A::UserNameCapacity);
    im[A::CallMax] = 5;
    im[A::CallFilter] = 0;
    im[A::BELLFlags] = 3;
    StoreWord(im, A::PanelID, 1234);
    for (std::size_t k = 1; k <= 4; ++k) {
        for (std::size_t f = 0; f < 4; ++f) im[A::IP(k) + f] = static_cast<std::uint8_t>(10 * k + f);
        StoreWord(im, A::Port(k), static_cast<std::uint16_t>(9000 + k));
        im[A::ReceiverPadding(k)] = im[A::ReceiverPadding(k) + 1] = 0;
    }
    return im;
}

void ReceivePathSeeds() {
    AesCipher cipher;
    cipher.SetKey(kModuleKey);
    const ParameterImage demo = DemoImage();

    ScriptWriter read;
    read.BlockReply(0, demo.data());
    read.BlockReply(3, demo.data() + 3 * 64);
    Seed("receive_path", "block-replies", read.Bytes());

    std::array<std::uint8_t, 64> version{};
    version[2] = 5;
    const std::string record = "\"ORBIQA-GSM;V1.05;2026-11-30;3.2\"";
    std::copy(record.begin(), record.end(), version.begin() + 18);
    ScriptWriter v;
    v.BlockReply(254, version.data());
    Seed("receive_path", "version-record", v.Bytes());

    ScriptWriter faults;
    faults.BlockReply(6, demo.data() + 6 * 64, 0x01 | 0x0E);  // checksum off by one
    faults.BlockReply(7, demo.data() + 7 * 64, 2 << 1);       // data message 2 left out
    faults.BlockReply(8, demo.data() + 8 * 64, 0x10 | 4 << 1); // data message 4 twice
    faults.Message(kTypeReplyData, Body({{2, 0}}));           // data without a header
    Seed("receive_path", "reply-faults", faults.Bytes());

    ScriptWriter texts;
    texts.Message(kTypeStatus, Body({{11, 0x11}, {12, 23}, {13, 4}, {14, 0}}));
    texts.Message(kTypeShortText1, ShortText("OK\r"));
    texts.Message(kTypeLongText1, LongText("Vonal hiba\r\r"));
    texts.Message(kTypeShortText2, ShortText("A\0B"));
    texts.Message(kTypeLongText2, LongText("H\xEDv\xE1s: 0630"));
    texts.Message(kTypeShortText3, ShortText("x\n"));
    texts.Message(kTypeLongText3, LongText("csatorna 3\r\n"));
    texts.Message(kTypeShortDtmf, ShortText("1234"));
    texts.Message(kTypeLongDtmf, LongText("*#0123456789"));
    texts.Message(0x61, ShortText("mask"));
    texts.Message(0x73, LongText("not three"));
    texts.Message(kTypeWriteAck, Body({{13, 4}, {14, kWriteAckMark}}));
    texts.Message(kTypeWriteAck, Body({{13, 4}, {14, 0x41}}));
    Seed("receive_path", "texts-status-acks", texts.Bytes());

    // Enciphered frames as raw line bytes, with noise and braces between them.
    std::vector<std::uint8_t> line = {'{', '}', 0x00, '}', '{'};
    for (std::uint8_t type : {kTypeStatus, kTypeShortText1, kTypeWriteAck})
        AppendFrame(line, cipher, BuildPayloadMessage(type, Body({{11, 'H'}, {12, 'i'}, {14, kWriteAckMark}}).data()));
    line.insert(line.end(), {'{', '{', 0x7D});
    for (const ModuleMessage& m : BlockReplyMessages(1, demo.data() + 64, ReplyFault::From(0x0E))) AppendFrame(line, cipher, m);
    ScriptWriter raw;
    raw.Raw(line);
    Seed("receive_path", "raw-frames", raw.Bytes());

    ScriptWriter plain;
    ModuleMessage unmarked{};
    unmarked.fill(0x5B);
    plain.Plaintext(unmarked);
    Seed("receive_path", "plaintext", plain.Bytes());
}

void TableFileSeeds() {
    Seed("table_file", "com3", std::string("2,1\r\ncw 0,20\r\ncw 1,20\r\n0,0,COM3\r\n"));
    Seed("table_file", "no-comma", std::string("2,1\r\nCOM5"));
    Seed("table_file", "trailing-empty", std::string("2,1\r\ncw 0,20\r\n0,0,COM3\r\n\r\n"));
    Seed("table_file", "resize", std::string("4,3\r\ncw 0,20\r\ncw 1,20\r\ncw 2,20\r\ncw 3,20\r\n0,0,COM7\r\n3,2,x,y\r\n5,0,out\r\n"));
    Seed("table_file", "encoded-break", std::string("2,1\n0,0,COM4\tsecond\b line\n1,0,a\bb\r"));
    Seed("table_file", "numbers", std::string("0x10,$8\r\ncw -1,5\r\ncw 0x1,99999999999\r\n -1,+0,neg\r\n"));
}

void ParameterFileSeeds() {
    const ParameterImage demo = DemoImage();
    const std::string demoBytes(demo.begin(), demo.end());
    Seed("parameter_file", "demo", demoBytes);
    Seed("parameter_file", "erased", std::string(A::ImageSize, '\xFF'));
    Seed("parameter_file", "zeros", std::string(A::ImageSize, '\0'));
    Seed("parameter_file", "short", demoBytes.substr(0, 100));
    Seed("parameter_file", "long", demoBytes + "tail bytes");
}

void ParameterTextSeeds() {
    Seed("parameter_text", "fields",
         std::string("# set\r\nUSER1 = 06301234567\nSMS1 = \"T\xC5\xB1z \\\"van\\\" \\u0171\"\n"
                     "Event1 = 1*30\nCallMax = 5\nReceiver2 = 192.168.1.20:5000\n"
                     "BELLCallback = on\n@119 = 00 01 FE\n@1087 = 7F\n"));
    Seed("parameter_text", "bad-line", std::string("USER1 = 06a\nAPN = \"a b\"\n@2000 = 00\n"));
    Seed("parameter_text", "csv", std::string("\xEF\xBB\xBFport,USER1,SMS1\r\nCOM3,0630,\"a, \"\"b\"\"\"\r\n"));
    Seed("parameter_text", "erased-image", std::string(A::ImageSize, '\xFF'));
}

void ApnSeeds() {
    std::string list;
    for (const std::string& line : BuiltInApnPresets()) list += line + "\r\n";
    Seed("apn_presets", "built-in", list);
    Seed("apn_presets", "lf-only", std::string("Egy\xE9ni\n") + MakeApnPresetLine("Telekom", {"internet.telekom", "u", "p"}) + "\n");
    Seed("apn_presets", "broken-quotes", std::string("Name \"apn\",\"user\r\n\"\"\"\r\rno quotes"));
}

void IntTextSeeds() {
    const char* texts[] = {"123", " -0x1F", "$7fffffff", "-2147483648", "2147483648", "12abc", "", "  +$", "0X", "-$80000000"};
    int i = 0;
    for (const char* t : texts) Seed("int_text", std::to_string(i++), std::string(t));
}

// Registry scripts in the form the port_registry target reads (see Path, Name and Text there).
class RegistryScript {
public:
    explicit RegistryScript(bool exactCase) { out_ += static_cast<char>(exactCase ? 1 : 0); }
    // SetString below root `root` at one level down, key `key`.
    void Set(int root, const std::string& key, int nameIndex, const std::string& valueText) {
        out_ += '\x01';
        Path(root, key);
        out_ += static_cast<char>(nameIndex);
        out_ += '\x04';  // a text of the script's own
        Text(valueText);
    }
    void Port(int root, const std::string& key, const std::string& friendlyName, int number) {
        out_ += '\x01';
        Path(root, key);
        out_ += '\x02';  // FriendlyName
        out_ += '\x01';  // name (COMn)
        Text(friendlyName);
        out_ += static_cast<char>(number);
    }
    void Binary(int root, const std::string& key, int nameIndex) {
        out_ += '\x04';
        Path(root, key);
        out_ += static_cast<char>(nameIndex);
        Text("\x01\x02");
    }
    void Scan(bool full) { out_ += full ? '\x86' : '\x06'; }
    const std::string& Bytes() const { return out_; }

private:
    void Path(int root, const std::string& key) {
        out_ += static_cast<char>(root | 1 << 4);
        Text(key);
    }
    void Text(const std::string& t) {
        out_ += static_cast<char>(t.size());
        out_ += t;
    }
    std::string out_;
};

void RegistrySeeds() {
    enum { Enum = 0, OldEnum = 1, Class = 2, Services = 3, SerialComm = 4 };
    RegistryScript two(false);
    two.Set(Enum, "Serial0", 0, "Ports");
    two.Port(Enum, "Serial0", "Comm Port", 1);
    two.Set(Enum, "Serial0", 5, "(Standard)");
    two.Set(Enum, "USB3", 1, "usbSerial");
    two.Port(Enum, "USB3", "USB Serial", 3);
    two.Set(SerialComm, "", 0, "COM3");
    two.Set(Class, "Modem0", 6, "COM1");
    two.Port(Class, "Modem0", "Std Modem", 9);
    two.Scan(false);
    two.Scan(true);
    Seed("port_registry", "two-ports", two.Bytes());

    RegistryScript old(true);
    old.Set(OldEnum, "Ports", 0, "ports");
    old.Port(OldEnum, "Ports", "Port", 5);
    old.Binary(SerialComm, "", 3);
    old.Scan(true);
    Seed("port_registry", "old-enum-bad-type", old.Bytes());
}

void Ipv4Seeds() {
    const char* texts[] = {"192.168.1.10", "10.0.300.1", "10.1", "0x7F.$10.-1.1", "...", "1.2.3.4.5", " 7. +8.9 .x"};
    int i = 0;
    for (const char* t : texts)
        for (char setup : {'\x03', '\x07', '\x00'}) Seed("ipv4_text", std::to_string(i++), std::string(1, setup) + t);
}

void VersionSeeds() {
    std::string block(64, '\0');
    block[2] = 5;
    const std::string record = "\"ORBIQA-GSM;V1.05;2026-11-30;3.2\"";
    block.replace(18, record.size(), record);
    Seed("version_record", "record", block);
    std::string noSeparators(64, 'x');
    noSeparators[18] = '"';
    Seed("version_record", "no-separators", noSeparators);
    Seed("version_record", "not-a-record", std::string(64, '\xFF'));
}

// What ser2net sends when a client connects, its answers to the line settings, and data with
// escaped 0xFF bytes; the first byte of each seed picks the size of the pieces.
void TelnetSeeds() {
    const std::string greeting = "\x03\xFF\xFB\x03\xFF\xFD\x03\xFF\xFB\x01\xFF\xFD\x00\xFF\xFB\x00\xFF\xFD,";
    // Sized by the array: the baud rate's zero bytes must not end the text.
    static const char kAnswers[] =
        "\xFF\xFA,e\x00\x00\x4B\x00\xFF\xF0\xFF\xFA,f\x08\xFF\xF0\xFF\xFA,g\x01\xFF\xF0"
        "\xFF\xFA,h\x01\xFF\xF0\xFF\xFA,i\x01\xFF\xF0\xFF\xFA,i\x08\xFF\xF0\xFF\xFA,i\x0B\xFF\xF0";
    const std::string answers(kAnswers, sizeof kAnswers - 1);
    Seed("telnet_receive", "ser2net-opening", greeting + answers);
    Seed("telnet_receive", "data-with-iac", std::string("\x02\x01\xFF\xFF\x02\xFF\xFF\xFF\xFF\x03", 10));
    Seed("telnet_receive", "refused", std::string("\x01\xFF\xFE,\xFF\xFC\x00", 7));
    Seed("telnet_receive", "address", "\x01rfc2217://[::1]:2217");

    // network_flood: flags (bit 0: Telnet), repeats, a script of 16 steps, then the stream.
    const std::string takeAll(16, '\xFC');  // large pieces, taken as fast as they come
    const std::string slowReader("\x00\x06\x00\x06\x00\x00\x00\x07\x00\x00\x00\x06\x00\x00\x00\x07", 16);
    std::string nops, asking;
    for (int i = 0; i < 1000; ++i) {
        nops += "\xFF\xF1";
        asking += "\xFF\xFD\x63";
    }
    Seed("network_flood", "raw-blocks", std::string("\x00\x3F", 2) + takeAll + std::string(4000, 'm'));
    Seed("network_flood", "nop-flood", "\x01\x3F" + slowReader + nops);
    Seed("network_flood", "do-flood", "\x01\x3F" + slowReader + asking);
    Seed("network_flood", "opening-and-data",
         "\x01\x08" + takeAll + greeting + answers + "\x02\xFF\xFF\x03");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
        return 2;
    }
    gRoot = argv[1];
    ReceivePathSeeds();
    TableFileSeeds();
    ParameterFileSeeds();
    ParameterTextSeeds();
    ApnSeeds();
    IntTextSeeds();
    RegistrySeeds();
    Ipv4Seeds();
    VersionSeeds();
    TelnetSeeds();
    return 0;
}
