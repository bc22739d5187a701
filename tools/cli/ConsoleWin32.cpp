#include <windows.h>
// io.h after windows.h: _isatty and _fileno.
#include <io.h>

#include <QMetaObject>
#include <atomic>
#include <csignal>
#include <cstdio>

#include "Console.h"

namespace orbiqa::cli {

namespace {

// Windows ends the process when the handler of a close, log-off or shut-down returns; this
// long, the Qt thread has to close the port first (it ends the process itself).
constexpr DWORD kCloseGraceMs = 3000;

// The watch that receives control events; Windows calls the handler on a thread of its own.
std::atomic<InterruptWatch*> gWatch{nullptr};

BOOL WINAPI ControlEvent(DWORD event) {
    InterruptWatch* watch = gWatch.load();
    if (!watch) return FALSE;
    InterruptOpenPorts();
    const int signal = event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT ? SIGINT : SIGTERM;
    QMetaObject::invokeMethod(
        watch,
        [watch, signal] {
            if (watch->onInterrupt) watch->onInterrupt(signal);
        },
        Qt::QueuedConnection);
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) Sleep(kCloseGraceMs);
    return TRUE;
}

}  // namespace

void PrepareConsole() {
    // The program's texts are UTF-8; the console shows them as such only when told so.
    SetConsoleOutputCP(CP_UTF8);
}

bool StderrIsTerminal() {
    return _isatty(_fileno(stderr)) != 0;
}

bool StdoutReaderGone() {
    // A write to a pipe whose reader has gone fails with "the pipe is being closed".
    return GetLastError() == ERROR_NO_DATA || GetLastError() == ERROR_BROKEN_PIPE;
}

InterruptWatch::InterruptWatch() {
    watcher_ = std::make_unique<QObject>();
    gWatch.store(this);
    SetConsoleCtrlHandler(ControlEvent, TRUE);
}

InterruptWatch::~InterruptWatch() {
    SetConsoleCtrlHandler(ControlEvent, FALSE);
    gWatch.store(nullptr);
}

}  // namespace orbiqa::cli
