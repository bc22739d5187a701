// Windows: a UI Automation notification raised on the window's host provider, which Narrator and
// NVDA speak whatever has the focus. The two functions come from uiautomationcore.dll at run time:
// MinGW has no import library for it, and the notification exists only from Windows 10 1709 on.
#include "widgets/AnnouncerWin32.h"

#include <oleauto.h>

#include <QWidget>
#include <string>

#include "widgets/Announcer.h"

namespace orbiqa {

namespace {

using HostProviderFunction = HRESULT(WINAPI*)(HWND window, IRawElementProviderSimple** provider);

RaiseNotificationFunction replacement = nullptr;

HMODULE UiaCore() {
    static const HMODULE module = LoadLibraryW(L"uiautomationcore.dll");
    return module;
}

template <typename F>
F Function(const char* name) {
    if (!UiaCore()) return nullptr;
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(UiaCore(), name)));
}

// The BSTR's owner: SysFreeString on every way out.
struct Bstr {
    explicit Bstr(const wchar_t* text) : value(SysAllocString(text)) {}
    ~Bstr() { SysFreeString(value); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR value;
};

class Win32Announcer : public Announcer {
public:
    bool Say(QWidget* window, const QString& text) override {
        const RaiseNotificationFunction raise =
            replacement ? replacement : SystemRaiseNotification();
        static const auto hostProvider = Function<HostProviderFunction>("UiaHostProviderFromHwnd");
        if (!raise || !hostProvider) return false;
        IRawElementProviderSimple* provider = nullptr;
        if (FAILED(hostProvider(reinterpret_cast<HWND>(window->winId()), &provider)) || !provider)
            return false;
        const std::wstring wide = text.toStdWString();
        Bstr sentence(wide.c_str());
        Bstr activity(kAnnouncementActivity);
        const HRESULT result =
            raise(provider, kNotificationKindOther, kNotificationProcessingImportantAll,
                  sentence.value, activity.value);
        provider->Release();
        return SUCCEEDED(result);
    }
};

}  // namespace

RaiseNotificationFunction SystemRaiseNotification() {
    static const auto raise = Function<RaiseNotificationFunction>("UiaRaiseNotificationEvent");
    return raise;
}

void SetRaiseNotification(RaiseNotificationFunction raise) {
    replacement = raise;
}

Announcer& SystemAnnouncer() {
    static Win32Announcer announcer;
    return announcer;
}

}  // namespace orbiqa
