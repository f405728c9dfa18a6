# Cross-building for arm64 (a Raspberry Pi 3, 4 or 5 with Raspberry Pi OS 12) on a Debian amd64
# machine, with Debian's multiarch: the aarch64 compiler of crossbuild-essential-arm64 and the
# libraries' own arm64 packages, installed beside the machine's (scripts/install-deps --arm64).
#   cmake -S . -B build-arm64 -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(TOLLWICK_CROSS_TRIPLET aarch64-linux-gnu)
set(CMAKE_C_COMPILER ${TOLLWICK_CROSS_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${TOLLWICK_CROSS_TRIPLET}-g++)
# Multiarch puts the arm64 libraries, their CMake packages and pkg-config files under
# /usr/lib/aarch64-linux-gnu; headers of header-only libraries in /usr/include serve both.
set(CMAKE_LIBRARY_ARCHITECTURE ${TOLLWICK_CROSS_TRIPLET})
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/${TOLLWICK_CROSS_TRIPLET}/pkgconfig:/usr/share/pkgconfig)
# Never the build machine's own amd64 libraries.
set(CMAKE_IGNORE_PATH /usr/lib/x86_64-linux-gnu /lib/x86_64-linux-gnu /usr/lib/x86_64-linux-gnu/cmake)

# Debian's name of the architecture, for the package (whose Depends: dpkg-shlibdeps computes
# from the arm64 libraries).
set(TOLLWICK_DEB_ARCHITECTURE arm64)

# Test programs run under qemu's user-mode emulator, which finds the arm64 loader and libraries
# where multiarch put them (ctest, GoogleTest's discovery).
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64-static)
