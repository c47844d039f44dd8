# Sources of a layer are the .cpp files of its folder; platform code is
# chosen by file name (*_posix.cpp or *_win.cpp), never by #ifdef.
function(tk_layer_sources out dir)
  file(GLOB all CONFIGURE_DEPENDS "${dir}/*.cpp")
  set(result "")
  foreach(f IN LISTS all)
    if(WIN32 AND f MATCHES "_posix\\.cpp$")
      continue()
    endif()
    if(NOT WIN32 AND f MATCHES "_win\\.cpp$")
      continue()
    endif()
    list(APPEND result "${f}")
  endforeach()
  set(${out} "${result}" PARENT_SCOPE)
endfunction()

# A layer's public include folder holds only that layer (a link named after
# it), so `#include "link/..."` compiles only where tk_link is linked and a
# lower layer cannot reach a higher one's headers.
function(tk_layer_include target layer)
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/include)
  file(MAKE_DIRECTORY ${dir})
  file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${dir}/${layer} SYMBOLIC)
  target_include_directories(${target} PUBLIC ${dir})
endfunction()
