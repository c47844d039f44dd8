# Pieces of the Windows programs: version resources and icon, and the
# files the program with windows needs beside it (Qt's DLLs and plugins,
# the mingw runtime, the manuals), so the build tree's W_tk7713t.exe runs as
# the installed one does.

# Version information (and the icon, when given) linked into TARGET.
#   tk_windows_resources(TARGET NAME DESCRIPTION [ICON FILE])
function(tk_windows_resources target name description)
  cmake_parse_arguments(arg "" "ICON" "" ${ARGN})
  math(EXPR major "${PROJECT_VERSION_MAJOR} + 0")
  math(EXPR minor "${PROJECT_VERSION_MINOR} + 0")
  set(TK_RC_VERSION_COMMAS "${major},${minor},0,0")
  set(TK_RC_NAME ${name})
  set(TK_RC_DESCRIPTION ${description})
  set(TK_RC_ICON_LINE "")
  if(arg_ICON)
    set(TK_RC_ICON_LINE "IDI_ICON1 ICON \"${arg_ICON}\"")
  endif()
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
  if(arg_ICON)
    set_property(SOURCE ${rc} APPEND PROPERTY OBJECT_DEPENDS ${arg_ICON})
  endif()
endfunction()

# Qt's DLLs and the plugins the program loads, and the mingw runtime they
# link, copied beside the program of FOLDER; the runtime stripped of its
# debugging information (libstdc++ shrinks from about 24 MB to 2 MB).
# Makes the target tk7713t-windows-runtime; the global property
# TK_WINDOWS_RUNTIME_FILES lists the files relative to FOLDER.
function(tk_windows_runtime folder)
  find_program(TK_MINGW_STRIP NAMES x86_64-w64-mingw32-strip REQUIRED)
  set(qt_files
    bin/Qt6Core.dll bin/Qt6Gui.dll bin/Qt6Widgets.dll
    plugins/platforms/qwindows.dll plugins/styles/qwindowsvistastyle.dll)
  set(runtime_files bin/libgcc_s_seh-1.dll bin/libstdc++-6.dll bin/libwinpthread-1.dll)
  set(outputs "")
  set(relative "")
  foreach(file IN LISTS qt_files runtime_files)
    # bin/ goes beside the program; a plugin keeps its kind's folder.
    string(REGEX REPLACE "^(bin|plugins)/" "" rel ${file})
    set(source ${TK_QT_MINGW}/${file})
    set(target_file ${folder}/${rel})
    if(file IN_LIST runtime_files)
      set(copy ${TK_MINGW_STRIP} --strip-unneeded -o ${target_file} ${source})
    else()
      set(copy ${CMAKE_COMMAND} -E copy ${source} ${target_file})
    endif()
    get_filename_component(dir ${target_file} DIRECTORY)
    add_custom_command(OUTPUT ${target_file}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
      COMMAND ${copy}
      DEPENDS ${source}
      COMMENT "Placing ${rel} beside the program"
      VERBATIM)
    list(APPEND outputs ${target_file})
    list(APPEND relative ${rel})
  endforeach()
  add_custom_target(tk7713t-windows-runtime ALL DEPENDS ${outputs})
  set_property(GLOBAL PROPERTY TK_WINDOWS_RUNTIME_FILES ${relative})
endfunction()

# The manuals come from a Linux build, whose tools render the windows into
# them (the same sources give the same PDFs): by default the ci preset's,
# `cmake --build --preset ci --target tk7713t-manuals`.
function(tk_windows_manuals folder)
  set(TK_MANUALS_DIR ${PROJECT_SOURCE_DIR}/build/ci/src CACHE PATH
    "Folder of a Linux build's W_tk7713t_EN.pdf and W_tk7713t_CZ.pdf")
  add_custom_target(tk7713t-windows-manuals ALL
    COMMAND ${CMAKE_COMMAND} -DFROM=${TK_MANUALS_DIR} -DTO=${folder}
            -P ${PROJECT_SOURCE_DIR}/cmake/CopyManuals.cmake
    COMMENT "Placing the manuals beside the program"
    VERBATIM)
endfunction()
