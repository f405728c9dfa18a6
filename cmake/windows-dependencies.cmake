# The libraries of the Windows build, under the names the Linux build gets from find_package, so
# that the rest of the build reads the same for both platforms.
#
# nlohmann-json, CLI11, date, spdlog and fmt are header-only and come from Debian's packages: only
# their own directories below /usr/include are put on the include path (through links in the build
# tree), never /usr/include itself, whose C library headers are the build machine's. cpp-httplib's
# single header is taken from Debian's source package of the installed version at configure time;
# libzip is built from Debian's source package of the installed version, against Debian's zlib for
# mingw-w64 (libz-mingw-w64-dev). Digests, randomness, HTTPS, sound and sockets are the platform's
# own (CNG, WinHTTP, MCI, Winsock).

set(TOLLWICK_HOST_INCLUDE "${CMAKE_BINARY_DIR}/_deps/host-include")
file(MAKE_DIRECTORY "${TOLLWICK_HOST_INCLUDE}")
foreach(library nlohmann CLI date spdlog fmt)
  if(NOT EXISTS "/usr/include/${library}")
    message(FATAL_ERROR "/usr/include/${library} is missing: run scripts/install-deps --windows")
  endif()
  file(CREATE_LINK "/usr/include/${library}" "${TOLLWICK_HOST_INCLUDE}/${library}" SYMBOLIC)
endforeach()

set(TOLLWICK_HTTPLIB_INCLUDE "${CMAKE_BINARY_DIR}/_deps/cpp-httplib")
if(NOT EXISTS "${TOLLWICK_HTTPLIB_INCLUDE}/httplib.h")
  message(STATUS "Fetching cpp-httplib's single header from Debian's source package")
  execute_process(COMMAND "${CMAKE_SOURCE_DIR}/scripts/fetch-httplib-header" "${TOLLWICK_HTTPLIB_INCLUDE}"
                  RESULT_VARIABLE fetched)
  if(NOT fetched EQUAL 0)
    message(FATAL_ERROR "cpp-httplib's header could not be fetched")
  endif()
endif()

set(TOLLWICK_LIBZIP_SOURCE "${CMAKE_BINARY_DIR}/_deps/libzip")
if(NOT EXISTS "${TOLLWICK_LIBZIP_SOURCE}/.complete")
  message(STATUS "Fetching libzip's source from Debian's source package")
  execute_process(COMMAND "${CMAKE_SOURCE_DIR}/scripts/fetch-debian-source" libzip-dev "${TOLLWICK_LIBZIP_SOURCE}"
                  RESULT_VARIABLE fetched)
  if(NOT fetched EQUAL 0)
    message(FATAL_ERROR "libzip's source could not be fetched")
  endif()
endif()
# A static libzip with deflate only (no other compression, no encryption), not installed with the
# release: it is linked into the program.
set(TOLLWICK_MINGW_ZLIB "/usr/${TOLLWICK_MINGW_PREFIX}")
if(NOT EXISTS "${TOLLWICK_MINGW_ZLIB}/lib/libz.a")
  message(FATAL_ERROR "${TOLLWICK_MINGW_ZLIB}/lib/libz.a is missing: run scripts/install-deps --windows")
endif()
set(ZLIB_INCLUDE_DIR "${TOLLWICK_MINGW_ZLIB}/include" CACHE PATH "" FORCE)
set(ZLIB_LIBRARY "${TOLLWICK_MINGW_ZLIB}/lib/libz.a" CACHE FILEPATH "" FORCE)
foreach(option BUILD_SHARED_LIBS LIBZIP_DO_INSTALL ENABLE_BZIP2 ENABLE_LZMA ENABLE_GNUTLS ENABLE_OPENSSL
               ENABLE_MBEDTLS ENABLE_COMMONCRYPTO ENABLE_WINDOWS_CRYPTO BUILD_TOOLS BUILD_REGRESS BUILD_EXAMPLES
               BUILD_DOC)
  set(${option} OFF CACHE BOOL "" FORCE)
endforeach()
add_subdirectory("${TOLLWICK_LIBZIP_SOURCE}" "${CMAKE_BINARY_DIR}/_deps/libzip-build" EXCLUDE_FROM_ALL SYSTEM)

function(tollwick_header_library name)
  add_library(${name} INTERFACE IMPORTED GLOBAL)
  # SYSTEM: their own warnings are not ours to fix.
  set_target_properties(${name} PROPERTIES INTERFACE_SYSTEM_INCLUDE_DIRECTORIES "${ARGN}"
                                           INTERFACE_INCLUDE_DIRECTORIES "${ARGN}")
endfunction()

tollwick_header_library(nlohmann_json::nlohmann_json "${TOLLWICK_HOST_INCLUDE}")
tollwick_header_library(CLI11::CLI11 "${TOLLWICK_HOST_INCLUDE}")
tollwick_header_library(date::date "${TOLLWICK_HOST_INCLUDE}")
# Debian's spdlog is configured for an external fmt; both are used header-only here.
tollwick_header_library(spdlog::spdlog "${TOLLWICK_HOST_INCLUDE}")
set_property(TARGET spdlog::spdlog PROPERTY INTERFACE_COMPILE_DEFINITIONS FMT_HEADER_ONLY)
tollwick_header_library(PkgConfig::HTTPLIB "${TOLLWICK_HTTPLIB_INCLUDE}")
set_property(TARGET PkgConfig::HTTPLIB PROPERTY INTERFACE_LINK_LIBRARIES ws2_32 crypt32)

find_package(Threads REQUIRED)

# Windows 10 and later; windows.h without the parts the system never uses, and without the min and
# max macros that would break std::min and std::max.
add_compile_definitions(_WIN32_WINNT=0x0A00 WINVER=0x0A00 WIN32_LEAN_AND_MEAN NOMINMAX NOGDI UNICODE _UNICODE)

set(TOLLWICK_PLATFORM_LIBRARIES winmm bcrypt winhttp ws2_32 shell32 ole32 psapi libzip::zip)
