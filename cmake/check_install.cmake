# cmake -DBUILD_DIR=... -DPREFIX=... -DCOMPONENT=quenbar -DPROGRAM=Quenbar
#       [-DALSO="talvik"] [-DEXEC="Quenbar %f"] -P check_install.cmake
# Installs one dialog program's component into a scratch prefix and checks what lands there:
# the program (and the programs in ALSO beside it), its menu entry and its icon, the entry
# starting the installed program (with the command line EXEC, PROGRAM by default) with the
# installed icon.
include(GNUInstallDirs)
if(NOT DEFINED EXEC)
  set(EXEC ${PROGRAM})
endif()
file(REMOVE_RECURSE ${PREFIX})
execute_process(
  COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --component ${COMPONENT} --prefix ${PREFIX}
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install --component ${COMPONENT} failed")
endif()
set(bin ${PREFIX}/${CMAKE_INSTALL_BINDIR})
set(entry ${PREFIX}/${CMAKE_INSTALL_DATADIR}/applications/${COMPONENT}.desktop)
set(icon ${PREFIX}/${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps/${COMPONENT}.svg)
set(expected ${bin}/${PROGRAM} ${entry} ${icon})
foreach(program ${ALSO})
  list(APPEND expected ${bin}/${program})
endforeach()
foreach(path ${expected})
  if(NOT EXISTS ${path})
    message(FATAL_ERROR "missing after install: ${path}")
  endif()
endforeach()
file(STRINGS ${entry} exec REGEX "^Exec=")
file(STRINGS ${entry} icon_line REGEX "^Icon=")
if(NOT exec STREQUAL "Exec=${EXEC}" OR NOT icon_line STREQUAL "Icon=${COMPONENT}")
  message(FATAL_ERROR "${COMPONENT}.desktop does not start ${PROGRAM} with its icon: ${exec} ${icon_line}")
endif()
find_program(desktop_validate desktop-file-validate)
if(desktop_validate)
  execute_process(COMMAND ${desktop_validate} ${entry} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "desktop-file-validate refuses ${COMPONENT}.desktop")
  endif()
endif()
file(REMOVE_RECURSE ${PREFIX})
