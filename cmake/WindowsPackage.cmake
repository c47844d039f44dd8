# The Windows installer and the portable ZIP: `cpack -G "NSIS;ZIP"` in the
# win64-gui build folder writes W_tk7713t-<version>-win64.exe and .zip.
# Both hold the program, tk7713t.exe, Qt's DLLs and plugins with the mingw
# runtime (all beside the program), both manuals and the licences. They
# differ in one file: the installer's W_tk7713t.exe keeps its settings in
# %APPDATA%\W_tk7713t (TK_PACKAGED=1), the ZIP's beside itself, as a folder
# on a stick wants it.
#
# Install components, put together per generator by CPackWindows.cmake:
# Runtime (everything shared), Installed and Portable (one W_tk7713t.exe each).
install(TARGETS W_tk7713t-installed RUNTIME DESTINATION . COMPONENT Installed)
install(TARGETS W_tk7713t RUNTIME DESTINATION . COMPONENT Portable)
install(TARGETS tk7713t RUNTIME DESTINATION . COMPONENT Runtime)
get_target_property(tk_program_dir W_tk7713t BINARY_DIR)
get_property(tk_runtime_files GLOBAL PROPERTY TK_WINDOWS_RUNTIME_FILES)
foreach(rel IN LISTS tk_runtime_files)
  get_filename_component(dir ${rel} DIRECTORY)
  if(NOT dir)
    set(dir .)
  endif()
  install(FILES ${tk_program_dir}/${rel} DESTINATION ${dir} COMPONENT Runtime)
endforeach()
install(FILES ${tk_program_dir}/W_tk7713t_EN.pdf ${tk_program_dir}/W_tk7713t_CZ.pdf
        DESTINATION . COMPONENT Runtime)
# The program's terms, and those of the Qt libraries beside it (LGPL-3, which
# builds on GPL-3): the DLLs may be replaced by other builds of Qt 6.4.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright DESTINATION . RENAME copyright.txt
        COMPONENT Runtime)
install(FILES /usr/share/common-licenses/LGPL-3 DESTINATION licenses RENAME Qt-LGPL-3.txt
        COMPONENT Runtime)
install(FILES /usr/share/common-licenses/GPL-3 DESTINATION licenses RENAME GPL-3.txt
        COMPONENT Runtime)

set(CPACK_GENERATOR "NSIS;ZIP")
set(CPACK_PACKAGE_NAME W_tk7713t)
set(CPACK_PACKAGE_VENDOR "W_tk7713t project team")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "configuration and diagnostics of TK-7713T converters")
set(CPACK_SYSTEM_NAME win64)
set(CPACK_PACKAGE_INSTALL_DIRECTORY W_tk7713t)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY W_tk7713t)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/packaging/copyright)
set(CPACK_STRIP_FILES ON)

# A 64-bit installer, like the program: it runs where the program runs
# (Wine without its 32-bit part too) and writes the 64-bit registry.
set(CPACK_NSIS_DEFINES "Target amd64-unicode")
set(CPACK_NSIS_PACKAGE_NAME W_tk7713t)
set(CPACK_NSIS_DISPLAY_NAME "W_tk7713t ${PROJECT_VERSION}")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/packaging/w-tk7713t.ico)
set(CPACK_NSIS_MUI_UNIICON ${PROJECT_SOURCE_DIR}/packaging/w-tk7713t.ico)
set(CPACK_NSIS_INSTALLED_ICON_NAME W_tk7713t.exe)
set(CPACK_NSIS_CONTACT "w_tk7713t@example.org")
# Start menu: the program (its icon is the exe's) and both manuals.
set(CPACK_PACKAGE_EXECUTABLES W_tk7713t W_tk7713t)
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
set(CPACK_NSIS_MENU_LINKS
  W_tk7713t_EN.pdf "W_tk7713t manual (English)"
  W_tk7713t_CZ.pdf "W_tk7713t manual (Czech)")
# A new version replaces the old one; the uninstaller removes exactly the
# files it installed, so the user's settings in %APPDATA% stay.
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(CPACK_NSIS_MODIFY_PATH OFF)

set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_BINARY_DIR}/CPackWindows.cmake)
file(WRITE ${CPACK_PROJECT_CONFIG_FILE}
  "# Written by cmake/WindowsPackage.cmake: cpack reads it once per generator.\n"
  "if(CPACK_GENERATOR STREQUAL \"ZIP\")\n"
  "  set(program Portable)\n"
  "else()\n"
  "  set(program Installed)\n"
  "endif()\n"
  "set(CPACK_INSTALL_CMAKE_PROJECTS\n"
  "  \"${PROJECT_BINARY_DIR};${PROJECT_NAME};Runtime;/\"\n"
  "  \"${PROJECT_BINARY_DIR};${PROJECT_NAME};\${program};/\")\n")
include(CPack)
