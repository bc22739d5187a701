#pragma once
// The serial port's error: an error number with its fixed English text and, for errors that
// have one, the operating system's error number appended as " (win error code: %d)". A network
// port's own failures (an unknown host, a refused option) have no system number a person could
// look up, so their text and the port's address are appended instead.
#include <string>

#include "base/Errors.h"

namespace orbiqa {

enum ComPortError : int {
    CError_OpenFailed = 1,
    CError_WriteFailed = 2,
    CError_ReadFailed = 3,
    CError_InvalidAsync = 4,
    CError_PurgeFailed = 5,
    CError_AsyncCheck = 6,
    CError_SetStateFailed = 7,
    CError_TimeoutsFailed = 8,
    CError_SetupComFailed = 9,
    CError_ClearComFailed = 10,
    CError_ModemStatFailed = 11,
    CError_EscapeComFailed = 12,
    CError_TransmitFailed = 13,
    CError_ConnChangeProp = 14,
    CError_EnumPortsFailed = 15,
    CError_StoreFailed = 16,
    CError_LoadFailed = 17,
    CError_RegFailed = 18,
    CError_LedStateFailed = 19,
    CError_ThreadCreated = 20,
    CError_WaitFailed = 21,
    CError_HasLink = 22,
};

/// The string-table text of an error number (identifier 12000 + code); empty for unknown codes.
std::string ComPortErrorText(int errorCode);

class EComPort : public OrbiqaError {
public:
    /// systemCode -1 means the error carries no system code and gets no suffix. port is the
    /// port's name; only a network port's own failure shows it.
    EComPort(int errorCode, int systemCode, const std::string& port = {});

    int ErrorCode() const { return errorCode_; }
    int SystemCode() const { return systemCode_; }

private:
    int errorCode_;
    int systemCode_;
};

}  // namespace orbiqa
