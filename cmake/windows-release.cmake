# The Windows release: the program with its resources beside it, as the zip and the installer
# carry it (`cmake --install build-windows --prefix DIR`):
#   DIR/tollwick-player.exe
#   DIR/assets/...            the built-in signals and version.info
#   DIR/web-ui/dist/...       the browser interface

# The program's manifest: UTF-8 as its code page, so that every path and text the system keeps as
# UTF-8 reaches Windows unchanged, and the Windows versions it is made for.
enable_language(RC)
target_sources(tollwick-player PRIVATE ${CMAKE_SOURCE_DIR}/packaging/windows/tollwick-player.rc)
set_property(SOURCE ${CMAKE_SOURCE_DIR}/packaging/windows/tollwick-player.rc APPEND PROPERTY
             OBJECT_DEPENDS ${CMAKE_SOURCE_DIR}/packaging/windows/tollwick-player.manifest)

# The tray launcher: the same system without a console, with an icon in the notification area.
add_executable(tollwick-tray WIN32 ${CMAKE_SOURCE_DIR}/src/tray_main_windows.cpp
               ${CMAKE_SOURCE_DIR}/packaging/windows/tollwick-player.rc)
target_link_libraries(tollwick-tray PRIVATE tollwick tollwick_warnings shell32)

install(TARGETS tollwick-player tollwick-tray RUNTIME DESTINATION .)
install(DIRECTORY assets/ DESTINATION assets PATTERN ".gitkeep" EXCLUDE)
install(DIRECTORY web-ui/dist/ DESTINATION web-ui/dist OPTIONAL)
install(CODE "file(WRITE \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/assets/version.info\" \"${PROJECT_VERSION}\\n\")")

# The zip and the installer (scripts/package-windows); the browser interface must be built first.
add_custom_target(windows-package
  COMMAND ${CMAKE_SOURCE_DIR}/scripts/package-windows ${CMAKE_BINARY_DIR} ${PROJECT_VERSION}
  WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
  DEPENDS tollwick-player tollwick-tray
  USES_TERMINAL)
set(TOLLWICK_WINDOWS_INSTALLER "${CMAKE_BINARY_DIR}/package/TollwickPlayer-${PROJECT_VERSION}-setup.exe")
