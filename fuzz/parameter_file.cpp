// A parameter file (".VR3") of any length and content into the image, then through every field's
// load routine as the editor fills its controls, and stored back as the editor's OK does.
#include <algorithm>
#include <bitset>

#include "FuzzSupport.h"
#include "base/Errors.h"
#include "params/ImageFields.h"
#include "transfer/ParameterFile.h"
#include "widgets/IPAddressFields.h"

using namespace orbiqa;
using namespace orbiqa::fuzz;
namespace A = orbiqa::EEAddr;

namespace {

struct DigitField {
    std::size_t offset, capacity;
};
constexpr DigitField kDigitFields[] = {
    {A::USER1, 16}, {A::USER2, 16}, {A::SMSFW1, 16}, {A::SMSFW2, 16}, {A::NETPREFIX, 8}, {A::ADDFIX, 8},
    {A::AUTODIAL, 16}, {A::PhnrEnabled1, 16}, {A::PhnrEnabled2, 16}, {A::PhnrEnabled3, 16},
    {A::PhnrEnabled4, 16}, {A::BELLPhnrEnabled1, 16}, {A::BELLPhnrEnabled2, 16}};

struct PlainField {
    std::size_t offset, capacity;
};
constexpr PlainField kPlainFields[] = {{A::APN, A::ApnCapacity}, {A::UserName, A::UserNameCapacity}, {A::PWD, A::PwdCapacity}};

class NoWindow final : public IPAddressDisplay {
public:
    bool HasWindow() const override { return false; }
    bool AllFieldsEmpty() const override { return true; }
    std::array<int, IPAddressFieldCount> ShownValues() const override { return {}; }
    void ShowValues(const std::array<int, IPAddressFieldCount>&) override {}
    void Clear() override {}
    void SetFieldRange(int, const TIPAddrRange&) override {}
};

// What the editor's controls hold after loading an image.
struct Controls {
    std::vector<GridCells> digits;
    std::vector<GridCells> events;
    std::vector<std::string> sms;
    std::vector<std::string> plain;
    std::array<std::array<int, 4>, A::ReceiverCount> ip{};
    std::array<std::uint16_t, A::ReceiverCount> port{};
    std::uint16_t panelId = 0, serverId = 0;
    std::uint8_t callMax = 0;
    bool onlyEnabled = false, gprs = false, bellOnlyListed = false, bellCallback = false, voiceCaller = false;
    bool operator==(const Controls&) const = default;
};

Controls Load(const ParameterImage& im) {
    Controls c;
    for (std::size_t k = 1; k <= A::EventCount; ++k) {
        const std::string text = LoadSmsText(im, A::SMS(k));
        FUZZ_CHECK(text.size() <= A::SmsTextLength && (text.empty() || text.back() != ' '));
        c.sms.push_back(text);
    }
    for (const DigitField& f : kDigitFields) {
        GridCells cells;
        LoadDigitField(im, f.offset, cells, f.capacity);
        FUZZ_CHECK(cells.size() == f.capacity);
        c.digits.push_back(cells);
    }
    for (std::size_t k = 1; k <= A::EventCount; ++k) {
        GridCells cells;
        LoadEventCode(im, A::Event(k), cells);
        FUZZ_CHECK(cells.size() == A::EventCodeSymbols);
        c.events.push_back(cells);
    }
    for (std::size_t k = 0; k < A::ReceiverCount; ++k) {
        NoWindow display;
        TIPAddressFields address(display);
        for (int f = 0; f < IPAddressFieldCount; ++f) {
            address.SetField(f, im[A::IP(k + 1) + static_cast<std::size_t>(f)]);  // octets never raise
            c.ip[k][static_cast<std::size_t>(f)] = address.Field(f);
        }
        c.port[k] = LoadWord(im, A::Port(k + 1));
    }
    c.panelId = LoadWord(im, A::PanelID);
    c.serverId = LoadWord(im, A::ServerID);
    for (const PlainField& f : kPlainFields) {
        const std::string text = LoadPlainText(im, f.offset, f.capacity);
        FUZZ_CHECK(text.size() <= f.capacity);
        c.plain.push_back(text);
    }
    c.callMax = im[A::CallMax];
    c.onlyEnabled = im[A::CallFilter] != 0;
    c.gprs = im[A::GPRSmode] == 1;
    c.bellOnlyListed = (im[A::BELLFlags] & A::BellOnlyListedNumbers) != 0;
    c.bellCallback = (im[A::BELLFlags] & A::BellCallback) != 0;
    c.voiceCaller = im[A::VoiceCaller] == 1;
    return c;
}

// Stores the controls and marks every byte a store may write.
void Store(const Controls& c, ParameterImage& im, std::bitset<A::ImageSize>& written) {
    const auto mark = [&](std::size_t offset, std::size_t width) {
        for (std::size_t i = 0; i < width; ++i) written.set(offset + i);
    };
    for (std::size_t k = 1; k <= A::EventCount; ++k) {
        StoreSmsText(im, A::SMS(k), c.sms[k - 1]);
        mark(A::SMS(k), A::SmsTextSize);
    }
    for (std::size_t i = 0; i < std::size(kDigitFields); ++i) {
        StoreDigitField(im, kDigitFields[i].offset, c.digits[i], kDigitFields[i].capacity);
        mark(kDigitFields[i].offset, 1 + kDigitFields[i].capacity);
    }
    for (std::size_t k = 1; k <= A::EventCount; ++k) {
        StoreEventCode(im, A::Event(k), c.events[k - 1]);
        mark(A::Event(k), A::EventCodeSize);
    }
    for (std::size_t k = 0; k < A::ReceiverCount; ++k) {
        for (std::size_t f = 0; f < 4; ++f) im[A::IP(k + 1) + f] = static_cast<std::uint8_t>(c.ip[k][f]);
        StoreWord(im, A::Port(k + 1), c.port[k]);
        im[A::ReceiverPadding(k + 1)] = 0;
        im[A::ReceiverPadding(k + 1) + 1] = 0;
        mark(A::IP(k + 1), A::ReceiverSize);
    }
    StoreWord(im, A::PanelID, c.panelId);
    StoreWord(im, A::ServerID, c.serverId);
    mark(A::PanelID, 2);
    mark(A::ServerID, 2);
    for (std::size_t i = 0; i < std::size(kPlainFields); ++i) {
        StorePlainText(im, kPlainFields[i].offset, c.plain[i], kPlainFields[i].capacity);
        mark(kPlainFields[i].offset, 1 + kPlainFields[i].capacity);
    }
    im[A::CallMax] = c.callMax;
    im[A::CallFilter] = c.onlyEnabled ? 1 : 0;
    im[A::GPRSmode] = c.gprs ? 1 : 0;
    im[A::BELLFlags] = static_cast<std::uint8_t>((c.bellOnlyListed ? A::BellOnlyListedNumbers : 0) |
                                                 (c.bellCallback ? A::BellCallback : 0));
    im[A::VoiceCaller] = c.voiceCaller ? 1 : 0;
    for (std::size_t offset : {A::CallMax, A::CallFilter, A::GPRSmode, A::BELLFlags, A::VoiceCaller}) mark(offset, 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const ScratchFile file("vr3");
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    ParameterImage image;  // erased, as at start-up
    const ParameterImage before = image;
    try {
        const ParameterFileLoad load = LoadParameterFile(
            file.Write(bytes), std::span<std::uint8_t, kParameterImageSize>(image.data(), image.size()));
        // A parameter set's text is imported, whatever its length; anything else is an image.
        if (!load.text) {
            FUZZ_CHECK(size >= A::ImageSize);
            FUZZ_CHECK(std::equal(image.begin(), image.end(), data));
        }
    } catch (const EFileError& e) {
        // A short file, or a text that cannot be imported whole, is refused whole; the image is
        // never left half loaded.
        FUZZ_CHECK(size < A::ImageSize || dynamic_cast<const EParameterTextError*>(&e) != nullptr ||
                   size > kMaxParameterTextBytes);
        FUZZ_CHECK(image == before);
        // Fill the image from the input anyway so that short inputs still reach the fields.
        std::copy_n(data, std::min(size, image.size()), image.begin());
    }

    // Open the editor, press OK, open it again: the second store changes nothing, and bytes that
    // belong to no field keep what the file gave them.
    const Controls first = Load(image);
    ParameterImage stored = image;
    std::bitset<A::ImageSize> written;
    Store(first, stored, written);
    for (std::size_t i = 0; i < A::ImageSize; ++i)
        if (!written[i]) FUZZ_CHECK(stored[i] == image[i]);
    const Controls second = Load(stored);
    ParameterImage storedAgain = stored;
    Store(second, storedAgain, written);
    FUZZ_CHECK(storedAgain == stored);
    FUZZ_CHECK(Load(storedAgain) == second);

    // The field routines at any offset: inside the image they work, past it they refuse.
    ByteCursor in(data, size);
    const std::size_t offset = in.Word() % (A::ImageSize + 64);
    GridCells cells;
    try {
        LoadDigitField(image, offset, cells, 16);
        LoadEventCode(image, offset, cells);
        (void)LoadSmsText(image, offset);
        (void)LoadPlainText(image, offset, A::ApnCapacity);
        (void)LoadWord(image, offset);
        StoreSmsText(image, offset, std::string(in.Text(60)));
        StorePlainText(image, offset, std::string(in.Text(60)), A::ApnCapacity);
        FUZZ_CHECK(offset + A::SmsTextSize <= A::ImageSize);
    } catch (const std::out_of_range&) {
        FUZZ_CHECK(offset + A::SmsTextSize > A::ImageSize);
    }
    return 0;
}
