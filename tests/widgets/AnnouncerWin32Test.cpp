// The Windows announcer: a sentence reaches UiaRaiseNotificationEvent on the window's own host
// provider. Wine has no UI Automation notifications and no screen reader, so the call itself is
// replaced by a recorder; the provider, the window handle and the strings are the real ones.
#include <gtest/gtest.h>

#include <QWidget>
#include <string>

#include "widgets/Announcer.h"
#include "widgets/AnnouncerWin32.h"

using namespace orbiqa;

namespace {

struct Raised {
    bool provider = false;
    HWND window = nullptr;
    int kind = -1;
    int processing = -1;
    std::wstring text;
    std::wstring activity;
};
std::vector<Raised> raised;
HRESULT answer = S_OK;

HRESULT WINAPI RecordRaise(IRawElementProviderSimple* provider, int kind, int processing, BSTR text,
                           BSTR activity) {
    Raised r;
    r.provider = provider != nullptr;
    if (provider) {
        // The host provider of a window answers with the window's handle.
        VARIANT handle;
        VariantInit(&handle);
        if (SUCCEEDED(provider->GetPropertyValue(30020 /* UIA_NativeWindowHandlePropertyId */,
                                                 &handle)) &&
            handle.vt == VT_I4)
            r.window = reinterpret_cast<HWND>(static_cast<INT_PTR>(handle.lVal));
        VariantClear(&handle);
    }
    r.kind = kind;
    r.processing = processing;
    r.text = text ? std::wstring(text, SysStringLen(text)) : std::wstring();
    r.activity = activity ? std::wstring(activity, SysStringLen(activity)) : std::wstring();
    raised.push_back(r);
    return answer;
}

struct Win32AnnouncerFixture : ::testing::Test {
    QWidget window;
    void SetUp() override {
        raised.clear();
        answer = S_OK;
        window.resize(200, 100);
        window.show();
        SetRaiseNotification(RecordRaise);
    }
    void TearDown() override { SetRaiseNotification(nullptr); }
};

}  // namespace

TEST_F(Win32AnnouncerFixture, ASentenceIsRaisedAsANotificationOfTheWindow) {
    Announce(&window, QString::fromUtf8(" Hiba: A COM port nem elérhető!"));
    ASSERT_EQ(raised.size(), 1u);
    EXPECT_TRUE(raised[0].provider);
    EXPECT_EQ(raised[0].window, reinterpret_cast<HWND>(window.winId()));
    EXPECT_EQ(raised[0].kind, kNotificationKindOther);
    EXPECT_EQ(raised[0].processing, kNotificationProcessingImportantAll);
    EXPECT_EQ(raised[0].text, L"Hiba: A COM port nem el\u00e9rhet\u0151!");
    EXPECT_EQ(raised[0].activity, L"Orbiqa");
}

TEST_F(Win32AnnouncerFixture, AFailedCallIsReportedNotHidden) {
    EXPECT_TRUE(SystemAnnouncer().Say(&window, "Beolvasás kész"));
    answer = E_FAIL;
    EXPECT_FALSE(SystemAnnouncer().Say(&window, "Beolvasás kész"));
    EXPECT_EQ(raised.size(), 2u);
}

TEST_F(Win32AnnouncerFixture, WithoutTheSystemCallNothingIsRaisedAndNothingBreaks) {
    SetRaiseNotification(nullptr);
    // Windows 10 1709 and later have the call; Wine and older Windows do not.
    const bool available = SystemRaiseNotification() != nullptr;
    EXPECT_EQ(SystemAnnouncer().Say(&window, "Beolvasás kész"), available);
    EXPECT_TRUE(raised.empty());
}
