# Install rules and the Debian package: `cpack -G DEB` in a build folder
# writes w-tk7713t_<version>_<arch>.deb. The manuals go to the package's
# documentation folder, where the installed program's Help looks for them.
if(WIN32)
  if(TARGET W_tk7713t AND TARGET tk7713t)
    include(${CMAKE_CURRENT_LIST_DIR}/WindowsPackage.cmake)
  endif()
  return()
endif()
if(NOT TARGET W_tk7713t OR NOT TARGET tk7713t-sim OR NOT TARGET tk7713t)
  return()
endif()

# The installed program is the variant that keeps its settings per user.
install(TARGETS W_tk7713t-installed tk7713t tk7713t-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Debian's copyright file, in the package's documentation folder.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright DESTINATION ${TK_DOC_DIR})
install(FILES ${PROJECT_SOURCE_DIR}/packaging/${TK_PACKAGE_NAME}.desktop
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/${TK_PACKAGE_NAME}.svg
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/scalable/apps)

# Manual pages from each program's --help and --version.
find_program(HELP2MAN help2man REQUIRED)
find_program(GZIP gzip REQUIRED)
set(man_dir ${PROJECT_BINARY_DIR}/man)
set(man_pages "")
# The page of W_tk7713t comes from the installed variant, which tells where
# the installed program keeps its settings.
foreach(entry
    "W_tk7713t|W_tk7713t-installed|configure and watch a TK-7713T converter"
    "tk7713t|tk7713t|configure and watch a TK-7713T converter from the command line"
    "tk7713t-sim|tk7713t-sim|simulated TK-7713T converter for demos and tests")
  string(REPLACE "|" ";" entry "${entry}")
  list(GET entry 0 program)
  list(GET entry 1 target)
  list(GET entry 2 summary)
  add_custom_command(
    OUTPUT ${man_dir}/${program}.1.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${man_dir}
    COMMAND ${HELP2MAN} --no-info --section=1 --name=${summary} --output=${man_dir}/${program}.1
            $<TARGET_FILE:${target}>
    COMMAND ${GZIP} -9nf ${man_dir}/${program}.1
    DEPENDS ${target}
    COMMENT "Writing the manual page ${program}.1"
    VERBATIM)
  list(APPEND man_pages ${man_dir}/${program}.1.gz)
endforeach()
add_custom_target(tk7713t-man-pages ALL DEPENDS ${man_pages})
install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${TK_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "W_tk7713t project team <w_tk7713t@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "configuration and diagnostics of TK-7713T converters")
# CPack indents each line by one blank itself; a line that starts with a
# blank of its own would be shown as preformatted text.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Configures and watches one TK-7713T converter (Modbus TCP to Modbus RTU)\nover the LAN (TFTP) or a serial port (Modbus RTU). Includes the\ncommand-line tool tk7713t, the converter simulator tk7713t-sim and the\nuser manual in English and Czech.")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Depends: from the shared libraries the programs link (Qt 6, libmodbus5 and
# the C++ runtime).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Purge removes the settings file that earlier builds, run by root, wrote
# beside the program; per-user files stay with their users.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/packaging/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
# cpack first builds what the package holds, so it never packs stale files
# or stops at a missing one; `cmake --install` still expects a build.
set(tk_packed_targets W_tk7713t-installed tk7713t tk7713t-sim tk7713t-man-pages)
foreach(t tk7713t-manuals tk7713t-bash-completion)
  if(TARGET ${t})
    list(APPEND tk_packed_targets ${t})
  endif()
endforeach()
file(CONFIGURE OUTPUT ${PROJECT_BINARY_DIR}/CPackBuildFirst.cmake CONTENT [[
message(STATUS "Building what the package holds")
execute_process(COMMAND "@CMAKE_COMMAND@" --build "@PROJECT_BINARY_DIR@" --target @tk_packed_targets@
                RESULT_VARIABLE built)
if(NOT built EQUAL 0)
  message(FATAL_ERROR "The build for the package failed")
endif()
]] @ONLY)
set(CPACK_INSTALL_SCRIPTS ${PROJECT_BINARY_DIR}/CPackBuildFirst.cmake)
include(CPack)
