# cmake -DBUILD_DIR=... -DPREFIX=... -P check_install.cmake
include(GNUInstallDirs)
file(REMOVE_RECURSE ${PREFIX})
execute_process(
  COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --component ferndel --prefix ${PREFIX}
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "installing the ferndel component failed")
endif()
set(desktop ${PREFIX}/${CMAKE_INSTALL_DATADIR}/applications/ferndel.desktop)
foreach(file
    ${PREFIX}/${CMAKE_INSTALL_BINDIR}/Ferndel
    ${desktop}
    ${PREFIX}/${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps/ferndel.svg)
  if(NOT EXISTS ${file})
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()
# The menu entry must start the program that was installed and show the installed icon.
file(STRINGS ${desktop} exec REGEX "^Exec=")
file(STRINGS ${desktop} icon REGEX "^Icon=")
if(NOT exec STREQUAL "Exec=Ferndel" OR NOT icon STREQUAL "Icon=ferndel")
  message(FATAL_ERROR "unexpected desktop entry: ${exec} ${icon}")
endif()
find_program(validate desktop-file-validate)
if(validate)
  execute_process(COMMAND ${validate} ${desktop} RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "desktop-file-validate refused ${desktop}")
  endif()
endif()
file(REMOVE_RECURSE ${PREFIX})
