# Cross build for 64-bit Windows with Debian's mingw-w64 (POSIX threads flavour, which the
# firmware thread and the atomic waits need). Programs are linked statically: one .exe with
# no DLL beside it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(DRK_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${DRK_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${DRK_MINGW_PREFIX}-g++-posix)
set(CMAKE_ASM_COMPILER ${DRK_MINGW_PREFIX}-gcc-posix)
set(CMAKE_RC_COMPILER ${DRK_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${DRK_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# The test programs run under Wine (tests/win32/wine_test.sh prepares it): CTest starts each
# through it, and the GoogleTest cases are listed when the tests run, not after linking.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
