# Debian packages (`make package`): the console estimator in one package, so that a cluster node
# needs no Qt; the dialogs in another, which depends on it; the Python module in a third. The
# version is the project's; the shared-library dependencies are computed by dpkg-shlibdeps.

# Each package carries its copyright and its changelog, as Debian policy asks.
set(STEREOLOGY_MAINTAINER "Stereology toolkit developers <stereology@example.org>")
string(TIMESTAMP STEREOLOGY_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
function(stereology_package_docs package component)
  set(PACKAGE ${package})
  configure_file(${PROJECT_SOURCE_DIR}/cmake/changelog.in
    ${CMAKE_BINARY_DIR}/package-docs/${package}/changelog @ONLY)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/package-docs/${package}/changelog.gz
    COMMAND gzip -9 -n -k -f changelog
    DEPENDS ${CMAKE_BINARY_DIR}/package-docs/${package}/changelog
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/package-docs/${package})
  add_custom_target(changelog_${component} ALL
    DEPENDS ${CMAKE_BINARY_DIR}/package-docs/${package}/changelog.gz)
  install(FILES ${PROJECT_SOURCE_DIR}/cmake/copyright
    ${CMAKE_BINARY_DIR}/package-docs/${package}/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component})
endfunction()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME stereology)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${STEREOLOGY_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ONE_PER_GROUP)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://stereology.example.org/")

# The console estimator.
set(CPACK_DEBIAN_CONSOLE_PACKAGE_NAME stereology)
set(CPACK_COMPONENT_TALVIK_GROUP console)
set(CPACK_DEBIAN_CONSOLE_DESCRIPTION
  "intrinsic volumes of 3D binary images (stereology)
talvik estimates the intrinsic volume densities V2, V1 and V0 (surface area,
integral of mean curvature and Euler characteristic per voxel) of a 3D binary
image, a folder of PBM slices, from the volumes of its parallel sets: it
dilates the image by digitised balls and fits the Steiner polynomial by least
squares. Optionally it chooses the range of balls from the data and reports
standard errors from a block jackknife.
.
This package holds the console program, with its manual page, the balls
files and an example data set. It needs no display, for cluster nodes.")
stereology_package_docs(stereology talvik)

if(STEREOLOGY_DIALOGS)
  set(CPACK_DEBIAN_DIALOGS_PACKAGE_NAME stereology-dialogs)
  foreach(component QUENBAR BRISOLT FERNDEL DIALOGS_DOCS)
    set(CPACK_COMPONENT_${component}_GROUP dialogs)
  endforeach()
  set(CPACK_DEBIAN_DIALOGS_PACKAGE_DEPENDS "stereology (= ${PROJECT_VERSION})")
  set(CPACK_DEBIAN_DIALOGS_DESCRIPTION
    "dialogs of the stereology toolkit: runs, test data, slices
Three Qt dialogs around the talvik estimator of intrinsic volumes. Quenbar runs
talvik over many data sets and shows the estimates beside the truth, with a
plot of each fit. Brisolt samples Boolean models of balls and writes them as
data sets with their true densities (also in a batch mode without a display).
Ferndel shows a slice: its size, its number of black pixels and its picture.")
  stereology_package_docs(stereology-dialogs dialogs_docs)
endif()

if(TARGET talvik_python)
  set(CPACK_DEBIAN_PYTHON_PACKAGE_NAME python3-talvik)
  foreach(component PYTHON PYTHON_DOCS)
    set(CPACK_COMPONENT_${component}_GROUP python)
  endforeach()
  # The module is built for one Python 3 version and takes numpy arrays; dpkg-shlibdeps adds
  # the C and C++ libraries.
  math(EXPR next_minor "${Python3_VERSION_MINOR} + 1")
  set(python_version ${Python3_VERSION_MAJOR}.${Python3_VERSION_MINOR})
  set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS
    "python3 (>= ${python_version}), python3 (<< ${Python3_VERSION_MAJOR}.${next_minor}), python3-numpy")
  set(CPACK_DEBIAN_PYTHON_DESCRIPTION
    "intrinsic volumes of 3D binary images for Python (stereology)
The Python module talvik estimates the intrinsic volume densities V2, V1 and
V0 of a 3D binary image held in a numpy array, with the same numbers as the
talvik program: talvik.estimate(volume, balls, epsilon, adaptive=True) gives
the estimates, their standard errors and every shell's volume fraction. It
also reads and writes data sets (folders of PBM slices) and balls files.")
  stereology_package_docs(python3-talvik python_docs)
endif()

include(CPack)
