# One version for every program and document of the build, taken from the
# project() line, and where the installed manuals lie relative to the
# installed programs. Every target sees the generated header.
include(GNUInstallDirs)
set(TK_PACKAGE_NAME w-tk7713t)
set(TK_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/${TK_PACKAGE_NAME})
if(WIN32)
  # Windows packages put the manuals beside the program.
  set(TK_DOC_FROM_PROGRAM .)
else()
  file(RELATIVE_PATH TK_DOC_FROM_PROGRAM
    ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR} ${CMAKE_INSTALL_PREFIX}/${TK_DOC_DIR})
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/BuildInfo.h.in ${PROJECT_BINARY_DIR}/generated/BuildInfo.h @ONLY)
include_directories(${PROJECT_BINARY_DIR}/generated)
