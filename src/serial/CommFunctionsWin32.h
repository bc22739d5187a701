#pragma once
// The Windows functions through which SerialDeviceWin32 reaches a COM port. The device calls
// them through this table so that its tests can put the documented behaviour of a serial driver
// (exclusive opening, completion of waits, the errors of an unplugged adapter) in their place;
// the program always uses the system's own. Events and GetLastError stay the system's.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace orbiqa {

struct CommFunctionsWin32 {
    decltype(&::CreateFileA) createFile;
    decltype(&::CloseHandle) closeDevice;  ///< only ever given the device's handle
    decltype(&::SetupComm) setupComm;
    decltype(&::SetCommState) setCommState;
    decltype(&::GetCommState) getCommState;
    decltype(&::SetCommTimeouts) setCommTimeouts;
    decltype(&::SetCommMask) setCommMask;
    decltype(&::PurgeComm) purgeComm;
    decltype(&::ClearCommError) clearCommError;
    decltype(&::WriteFile) writeFile;
    decltype(&::ReadFile) readFile;
    decltype(&::WaitCommEvent) waitCommEvent;
    decltype(&::GetOverlappedResult) getOverlappedResult;
    decltype(&::CancelIo) cancelIo;
};

/// The system's functions.
const CommFunctionsWin32& SystemCommFunctions();

}  // namespace orbiqa
