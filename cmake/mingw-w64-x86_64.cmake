# Cross-building the Windows program on Debian with mingw-w64 (g++-mingw-w64-x86-64-posix: the
# POSIX thread model, which std::thread and std::mutex need).
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TOLLWICK_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TOLLWICK_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOLLWICK_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TOLLWICK_MINGW_PREFIX}-windres)

# Libraries and headers come from the mingw-w64 sysroot only, never from the build machine's own
# /usr/include and /usr/lib; the few header-only libraries taken from Debian are named one by one.
set(CMAKE_FIND_ROOT_PATH /usr/${TOLLWICK_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The C++ runtime and winpthread are linked in, so the programs need no DLL that Windows lacks.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Test programs run under Wine on the build machine (ctest, GoogleTest's discovery).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
