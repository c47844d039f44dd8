# The Qt of the Windows program: the shared Qt for mingw-w64 that
# scripts/windows-qt.sh builds once and caches, used with Debian's own Qt
# tools (moc, rcc, uic) as host tools.
if(NOT DEFINED QT_HOST_PATH)
  set(QT_HOST_PATH /usr CACHE PATH "Prefix of the host Qt whose tools the cross-build runs")
endif()

# windows-qt.sh names its prefix after the host Qt's version, which the
# target Qt must match.
set(tk_qt_default "$ENV{TK_QT_MINGW}")
if(NOT tk_qt_default)
  file(GLOB tk_host_qt_version_files
    ${QT_HOST_PATH}/lib/cmake/Qt6/Qt6ConfigVersionImpl.cmake
    ${QT_HOST_PATH}/lib/*/cmake/Qt6/Qt6ConfigVersionImpl.cmake)
  set(tk_host_qt_version unknown)
  if(tk_host_qt_version_files)
    list(GET tk_host_qt_version_files 0 tk_file)
    file(STRINGS ${tk_file} tk_line REGEX "^set\\(PACKAGE_VERSION \"")
    string(REGEX REPLACE "^set\\(PACKAGE_VERSION \"([^\"]+)\".*" "\\1" tk_host_qt_version "${tk_line}")
  endif()
  set(tk_qt_default "$ENV{HOME}/.cache/w-tk7713t/qt-${tk_host_qt_version}-mingw")
endif()
set(TK_QT_MINGW "${tk_qt_default}" CACHE PATH "Qt for mingw-w64 built by scripts/windows-qt.sh")
if(NOT EXISTS "${TK_QT_MINGW}/lib/cmake/Qt6/Qt6Config.cmake")
  message(FATAL_ERROR "No Qt for mingw-w64 in ${TK_QT_MINGW}: scripts/windows-qt.sh builds it "
                      "(or set TK_QT_MINGW to another one)")
endif()
list(APPEND CMAKE_PREFIX_PATH ${TK_QT_MINGW})

# Qt's DLLs use the mingw runtime DLLs. One C++ runtime per process: the
# programs linking Qt link it as DLLs too, not statically as the toolchain
# file asks (tk7713t.exe stays self-contained by its own link option).
set(CMAKE_EXE_LINKER_FLAGS "")
