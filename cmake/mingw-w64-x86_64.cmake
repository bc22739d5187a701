# Cross build for 64-bit Windows with Debian's MinGW-w64 (the POSIX-threads variant, whose C++
# library has std::thread and std::mutex). Qt comes from a MinGW build of its own, named by
# ORBIQA_QT_MINGW_PREFIX; its host tools (moc, rcc, uic) are the build machine's.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(_orbiqa_mingw x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${_orbiqa_mingw}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_orbiqa_mingw}-g++-posix)
set(CMAKE_RC_COMPILER ${_orbiqa_mingw}-windres)

# Passed on to try_compile projects, which read the toolchain file again.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ORBIQA_QT_MINGW_PREFIX)
set(CMAKE_FIND_ROOT_PATH /usr/${_orbiqa_mingw})
if(ORBIQA_QT_MINGW_PREFIX)
    list(APPEND CMAKE_FIND_ROOT_PATH ${ORBIQA_QT_MINGW_PREFIX})
    list(APPEND CMAKE_PREFIX_PATH ${ORBIQA_QT_MINGW_PREFIX})
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

if(NOT QT_HOST_PATH)
    set(QT_HOST_PATH /usr CACHE PATH "Qt host tools (moc, rcc, uic) of the build machine")
endif()

# Test programs run under Wine on the build machine.
if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
    find_program(ORBIQA_WINE wine)
    if(ORBIQA_WINE)
        set(CMAKE_CROSSCOMPILING_EMULATOR ${ORBIQA_WINE})
    endif()
endif()
