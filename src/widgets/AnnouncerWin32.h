#pragma once
// The Windows announcer's one outside call, replaceable so that its test can see what reaches it
// (Wine's UI Automation has no notifications, and no screen reader runs there).
#include <uiautomationcore.h>
#include <windows.h>

namespace orbiqa {

/// UiaRaiseNotificationEvent: provider, NotificationKind, NotificationProcessing, the sentence,
/// an activity id that lets a screen reader group or replace sentences of one kind.
using RaiseNotificationFunction = HRESULT(WINAPI*)(IRawElementProviderSimple* provider, int kind,
                                                   int processing, BSTR displayString,
                                                   BSTR activityId);

/// The notification kind and processing the program's sentences go out with: "other", and all of
/// them spoken in order, each as important (a status change or an outcome must not be dropped).
constexpr int kNotificationKindOther = 4;
constexpr int kNotificationProcessingImportantAll = 0;
/// The activity id of every sentence.
constexpr const wchar_t* kAnnouncementActivity = L"Orbiqa";

/// uiautomationcore.dll's UiaRaiseNotificationEvent; null where the system has none (Windows
/// before 10 version 1709, Wine).
RaiseNotificationFunction SystemRaiseNotification();

/// Makes the system announcer call raise instead of SystemRaiseNotification(); null restores it.
void SetRaiseNotification(RaiseNotificationFunction raise);

}  // namespace orbiqa
