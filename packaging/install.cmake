# Installation and the Debian package. Included at the end of the top-level
# CMakeLists.txt, once every program target is defined.
#
#   cmake --install <build> [--prefix DIR]    (DESTDIR honoured)
#   cpack -G DEB --config <build>/CPackConfig.cmake
#
# The package version is CPTOC_VERSION (packaging/version.cmake); nothing here
# repeats it.
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

# The maintainer of the package and of its newest changelog entry:
#   make package MAINTAINER="Name <address>"   (empty: the project's address)
set(CPTOC_PROJECT_CONTACT "cptoc maintainers <maintainers@users.noreply.c-seed-a846978e.example>")
set(CPTOC_MAINTAINER "" CACHE STRING "Maintainer field of the Debian package, \"Name <address>\" (empty: the project's address)")
set(CPTOC_PACKAGE_MAINTAINER "${CPTOC_MAINTAINER}")
if(CPTOC_PACKAGE_MAINTAINER STREQUAL "")
  set(CPTOC_PACKAGE_MAINTAINER "${CPTOC_PROJECT_CONTACT}")
endif()
if(NOT CPTOC_PACKAGE_MAINTAINER MATCHES "^[^<>]*[^ <>] <[^<>@ ]+@[^<>@ ]+>$")
  message(FATAL_ERROR "MAINTAINER must read \"Name <address>\", not \"${CPTOC_PACKAGE_MAINTAINER}\"")
endif()

# Dates from the time of the commit (SOURCE_DATE_EPOCH), not of the build.
set(cptoc_saved_epoch "$ENV{SOURCE_DATE_EPOCH}")
set(ENV{SOURCE_DATE_EPOCH} ${CPTOC_SOURCE_DATE_EPOCH})
string(TIMESTAMP CPTOC_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
string(TIMESTAMP CPTOC_RELEASE_DATE "%Y-%m-%d" UTC)
set(ENV{SOURCE_DATE_EPOCH} "${cptoc_saved_epoch}")

# Debian wants manual pages and changelogs compressed with gzip -9, without a
# time stamp in the header (-n), so that the package is reproducible.
set(CPTOC_CHANGELOG ${CPTOC_GZ_DIR}/changelog)
configure_file(${CPTOC_PACKAGING_DIR}/changelog.in ${CPTOC_CHANGELOG} @ONLY)
set(CPTOC_GZ_FILES)
foreach(page IN LISTS CPTOC_PROGRAMS)
  # The pages name the version in their footer (@PROJECT_VERSION@, the release).
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
install(FILES ${CPTOC_PACKAGING_DIR}/cptoc.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# AppStream metainfo, so that software centres list the program.
set(CPTOC_METAINFO_ID example.c_seed_a846978e.cptoc)
configure_file(${CPTOC_PACKAGING_DIR}/${CPTOC_METAINFO_ID}.metainfo.xml.in
  ${CPTOC_GZ_DIR}/${CPTOC_METAINFO_ID}.metainfo.xml @ONLY)
install(FILES ${CPTOC_GZ_DIR}/${CPTOC_METAINFO_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The menu entry starts the launcher, which keeps the terminal open after
# cptoc ends. Both name absolute paths under the prefix, which is known only
# when installing (make install: /usr/local; the package: /usr): they are
# written then, into the build folder, and installed from there.
set(CPTOC_LAUNCHER_DEST ${CMAKE_INSTALL_LIBEXECDIR}/cptoc)
# Each prefix and DESTDIR has its own folder, removed afterwards: installs
# from one build folder may run side by side (cpack, a staged install).
install(CODE "
  string(MD5 cptoc_key \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}\")
  set(cptoc_dir ${CPTOC_GZ_DIR}/prefixed/\${cptoc_key})
  set(CPTOC_BIN \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
  set(CPTOC_LAUNCHER \"\${CMAKE_INSTALL_PREFIX}/${CPTOC_LAUNCHER_DEST}/cptoc-terminal\")
  configure_file(${CPTOC_PACKAGING_DIR}/cptoc-terminal.in \${cptoc_dir}/cptoc-terminal @ONLY)
  configure_file(${CPTOC_PACKAGING_DIR}/cptoc.desktop.in \${cptoc_dir}/cptoc.desktop @ONLY)
  file(INSTALL \${cptoc_dir}/cptoc-terminal
    DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${CPTOC_LAUNCHER_DEST}\"
    FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  file(INSTALL \${cptoc_dir}/cptoc.desktop
    DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/applications\")
  file(REMOVE_RECURSE \${cptoc_dir})
")

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
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VERSION ${CPTOC_VERSION})
set(CPACK_DEBIAN_PACKAGE_VERSION ${CPTOC_VERSION})
set(CPACK_PACKAGE_CONTACT ${CPTOC_PACKAGE_MAINTAINER})
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
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${CPTOC_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Run-time dependencies come from dpkg-shlibdeps on the installed programs.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The menu entry needs a terminal, and the console's Japanese lines a font
# that has them (without one they are blank).
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "x-terminal-emulator, fonts-noto-cjk | fonts-ipafont-gothic")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_SOURCE_GENERATOR "")
# cpack dates every file of the package by the commit, whoever runs it.
set(CPACK_PROJECT_CONFIG_FILE ${CPTOC_GZ_DIR}/cpack_project.cmake)
file(WRITE ${CPACK_PROJECT_CONFIG_FILE}
  "if(\"\$ENV{SOURCE_DATE_EPOCH}\" STREQUAL \"\")\n  set(ENV{SOURCE_DATE_EPOCH} ${CPTOC_SOURCE_DATE_EPOCH})\nendif()\n")
include(CPack)
