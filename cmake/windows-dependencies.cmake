# The libraries of the Windows build, under the names the Linux build gets from find_package, so
# that the rest of the build reads the same for both platforms.
#
# nlohmann-json, CLI11, date, spdlog and fmt are header-only and come from Debian's packages: only
# their own directories below /usr/include are put on the include path (through links in the build
# tree), never /usr/include itself, whose C library headers are the build machine's. cpp-httplib's
# single header is taken from Debian's source package of the installed version at configure time.
# Digests, randomness, HTTPS, sound and sockets are the platform's own (CNG, WinHTTP, MCI, Winsock).

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

set(TOLLWICK_PLATFORM_LIBRARIES winmm bcrypt winhttp ws2_32 shell32 ole32)
