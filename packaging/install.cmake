# Installation and the Debian package. Included at the end of the top-level
# CMakeLists.txt, once every program target is defined.
#
#   cmake --install <build> [--prefix DIR]    (DESTDIR honoured)
#   cpack -G DEB --config <build>/CPackConfig.cmake
#
# The package version is the project's VERSION; nothing here repeats it.
include(GNUInstallDirs)

set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPTOC_PACKAGING_DIR ${CMAKE_CURRENT_SOURCE_DIR}/packaging)
set(CPTOC_MAN_DIR ${CMAKE_CURRENT_SOURCE_DIR}/docs/man)
set(CPTOC_GZ_DIR ${CMAKE_CURRENT_BINARY_DIR}/packaging)
set(CPTOC_DOC_DEST ${CMAKE_INSTALL_DATADIR}/doc/${PROJECT_NAME})

find_program(CPTOC_GZIP gzip REQUIRED)

# The programs that get installed, and their manual pages.
set(CPTOC_PROGRAMS cptoc)
if(TARGET cptoc-answer)
  list(APPEND CPTOC_PROGRAMS cptoc-answer)
endif()

# Debian wants manual pages and changelogs compressed with gzip -9, without a
# time stamp in the header (-n), so that the package is reproducible.
set(CPTOC_CHANGELOG ${CPTOC_GZ_DIR}/changelog)
configure_file(${CPTOC_PACKAGING_DIR}/changelog.in ${CPTOC_CHANGELOG} @ONLY)
set(CPTOC_GZ_FILES)
foreach(page IN LISTS CPTOC_PROGRAMS)
  # The pages name the version in their footer (@PROJECT_VERSION@).
  set(src ${CPTOC_GZ_DIR}/${page}.1)
  configure_file(${CPTOC_MAN_DIR}/${page}.1 ${src} @ONLY)
  set(out ${CPTOC_GZ_DIR}/${page}.1.gz)
  add_custom_command(OUTPUT ${out}
    COMMAND ${CPTOC_GZIP} -9n -c ${src} > ${out}
    DEPENDS ${src}
    COMMENT "Compressing manual page ${page}(1)"
    VERBATIM)
  list(APPEND CPTOC_GZ_FILES ${out})
endforeach()
add_custom_command(OUTPUT ${CPTOC_GZ_DIR}/changelog.gz
  COMMAND ${CPTOC_GZIP} -9n -c ${CPTOC_CHANGELOG} > ${CPTOC_GZ_DIR}/changelog.gz
  DEPENDS ${CPTOC_CHANGELOG}
  COMMENT "Compressing the changelog"
  VERBATIM)
add_custom_target(cptoc_install_files ALL
  DEPENDS ${CPTOC_GZ_FILES} ${CPTOC_GZ_DIR}/changelog.gz)

# Everything `make install` and `make package` need built: the programs and
# the compressed pages (the test programs are not part of it).
add_custom_target(installables)
add_dependencies(installables cptoc_install_files ${CPTOC_PROGRAMS})
# Installing (and cpack) does not build the whole tree with its tests first;
# `make install` and `make package` build `installables`.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY TRUE)

install(TARGETS ${CPTOC_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CPTOC_GZ_FILES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CPTOC_PACKAGING_DIR}/cptoc.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CPTOC_PACKAGING_DIR}/cptoc.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
# The installed README is the one of the source folder without its parts
# marked <!-- source-only --> ... <!-- /source-only --> (the commands that build
# from the sources and the notes for developers, which are not installed).
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/README.md)
file(READ ${CMAKE_CURRENT_SOURCE_DIR}/README.md CPTOC_README)
set(CPTOC_README_OUT "")
while(TRUE)
  string(FIND "${CPTOC_README}" "<!-- source-only -->\n" cptoc_from)
  if(cptoc_from EQUAL -1)
    break()
  endif()
  string(FIND "${CPTOC_README}" "<!-- /source-only -->\n" cptoc_to)
  if(cptoc_to LESS cptoc_from)
    message(FATAL_ERROR "README.md: <!-- source-only --> without its end")
  endif()
  string(SUBSTRING "${CPTOC_README}" 0 ${cptoc_from} cptoc_head)
  string(APPEND CPTOC_README_OUT "${cptoc_head}")
  math(EXPR cptoc_to "${cptoc_to} + 22")
  string(SUBSTRING "${CPTOC_README}" ${cptoc_to} -1 CPTOC_README)
endwhile()
string(APPEND CPTOC_README_OUT "${CPTOC_README}")
file(WRITE ${CPTOC_GZ_DIR}/README.md "${CPTOC_README_OUT}")

install(FILES
    ${CPTOC_GZ_DIR}/README.md
    ${CPTOC_PACKAGING_DIR}/copyright
    ${CPTOC_GZ_DIR}/changelog.gz
  DESTINATION ${CPTOC_DOC_DEST})
# The pictures and the notes for users that README links to, kept at the same
# relative place (docs/...) so that its links work from the installed copy too.
install(DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/docs/
  DESTINATION ${CPTOC_DOC_DEST}/docs
  FILES_MATCHING PATTERN "*.png" PATTERN "answer-key.md" PATTERN "robustness.md" PATTERN "accuracy.md"
  PATTERN "man" EXCLUDE)

# The message catalogues and the Japanese manual pages.
include(${CPTOC_PACKAGING_DIR}/locale.cmake)

# The Debian package: cptoc_<version>_<arch>.deb.
set(CPTOC_MAINTAINER "cptoc maintainers <maintainers@users.noreply.c-seed-a846978e.example>"
  CACHE STRING "Maintainer field of the Debian package")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${CPTOC_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "teaching simulator of minimum-time motion along a path")
set(CPACK_PACKAGE_DESCRIPTION
"cptoc teaches the phase-plane method of minimum-time continuous-path (CP)
control for a two-axis X-Y Cartesian robot whose axes each have their own
largest acceleration. After a short console dialogue (in Japanese) that picks
one of six paths (arc, sine wave, U shape, slalom, two cam curves), its
dimensions and the axis limits, a window shows the phase plane (s, ds/dt)
with the velocity limit and the boundary curves. The student builds the
bang-bang trajectory key by key, switches between acceleration and braking,
and joins it onto the final braking curve. The program then rebuilds the
motion, compares its time with a trapezoidal normal CP motion, prints the
switching points and plays the motion back with the carriage and time graphs.")
if(TARGET cptoc-answer)
  string(APPEND CPACK_PACKAGE_DESCRIPTION "
.
The answer key cptoc-answer computes the exact minimum time and its switching
points for any path and limits without a window, grades a key session against
it, and writes the phase plane and the motion as pictures or CSV data.")
endif()
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${CPTOC_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Run-time dependencies come from dpkg-shlibdeps on the installed programs.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_SOURCE_GENERATOR "")
include(CPack)
