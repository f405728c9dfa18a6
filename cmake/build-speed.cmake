# What keeps the builds short: every build of the whole tree (plain, Windows, the sanitizers, the
# fuzzers, arm64) parses the same large library headers in nearly every file, and links the same
# library into each program.

# ccache, where it is installed, compiles again only what changed, also across clones of the
# project in other directories (base_dir, nohashdir) and with precompiled headers (sloppiness).
option(TOLLWICK_CCACHE "Compile through ccache where it is installed" ON)
find_program(TOLLWICK_CCACHE_PROGRAM ccache)
if(TOLLWICK_CCACHE AND TOLLWICK_CCACHE_PROGRAM AND NOT CMAKE_CXX_COMPILER_LAUNCHER)
  set(CMAKE_CXX_COMPILER_LAUNCHER
      ${CMAKE_COMMAND} -E env CCACHE_BASEDIR=${CMAKE_SOURCE_DIR} CCACHE_NOHASHDIR=1
      CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime ${TOLLWICK_CCACHE_PROGRAM})
endif()

# Precompiled headers: the heavy headers that most files include, parsed once per program. Not for
# Windows: mingw-w64's precompiled header is over 200 MB, and loading it into every file took longer
# than parsing the headers.
if(WIN32)
  set(TOLLWICK_PCH_DEFAULT OFF)
else()
  set(TOLLWICK_PCH_DEFAULT ON)
endif()
option(TOLLWICK_PCH "Precompile the heavy library headers" ${TOLLWICK_PCH_DEFAULT})
set(TOLLWICK_PCH_HEADERS
    <algorithm> <chrono> <filesystem> <functional> <map> <memory> <mutex> <optional> <string>
    <string_view> <thread> <vector> <nlohmann/json.hpp> <spdlog/spdlog.h> <date/date.h>)

# A target's own precompiled header: the heavy headers, and any more it names.
function(tollwick_precompile_headers target)
  if(TOLLWICK_PCH)
    target_precompile_headers(${target} PRIVATE ${TOLLWICK_PCH_HEADERS} ${ARGN})
  endif()
endfunction()

# A program compiled with the same options as `source`, which shares its precompiled header.
function(tollwick_reuse_precompiled_headers target source)
  if(TOLLWICK_PCH)
    target_precompile_headers(${target} REUSE_FROM ${source})
  endif()
endfunction()

# Unity builds: the files of a library or program compiled in batches, each batch one translation
# unit, so that the templates and inline functions they share are compiled once per batch instead
# of once per file.
# Not for Windows: its own files put the others in other batches, and there two files' helpers of
# the same name in anonymous namespaces (trimmed, for one) met in one batch.
option(TOLLWICK_UNITY "Compile the system and its tests in batches (unity builds)" ${TOLLWICK_PCH_DEFAULT})
set(TOLLWICK_UNITY_BATCH 8)
function(tollwick_unity_build target)
  if(TOLLWICK_UNITY)
    set_target_properties(${target} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE ${TOLLWICK_UNITY_BATCH})
  endif()
endfunction()
