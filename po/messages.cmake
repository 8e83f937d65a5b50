# The message catalogues. Japanese is the source language of every text;
# po/<language>.po holds the translation into one language (the languages are
# listed in po/LINGUAS). msgfmt compiles each into <build>/locale/<language>/
# LC_MESSAGES/cptoc.mo, beside the programs, where they find it when run from
# the build folder; the install puts it under share/locale (packaging/locale.cmake).
#
#   cmake --build <build> --target pot    regenerates po/cptoc.pot from the sources
include(GNUInstallDirs)
find_package(Python3 COMPONENTS Interpreter)
find_program(CPTOC_MSGFMT msgfmt REQUIRED)

set(CPTOC_PO_DIR ${CMAKE_CURRENT_SOURCE_DIR}/po)
set(CPTOC_LOCALE_BUILD_DIR ${CMAKE_CURRENT_BINARY_DIR}/locale)
file(STRINGS ${CPTOC_PO_DIR}/LINGUAS CPTOC_LINGUAS REGEX "^[^#]")

# The programs look for their catalogues beside themselves first, then here.
target_compile_definitions(cptoc_core PRIVATE CPTOC_LOCALEDIR="${CMAKE_INSTALL_FULL_LOCALEDIR}")

set(CPTOC_CATALOGUES)
foreach(lang IN LISTS CPTOC_LINGUAS)
  set(dir ${CPTOC_LOCALE_BUILD_DIR}/${lang}/LC_MESSAGES)
  add_custom_command(OUTPUT ${dir}/cptoc.mo
    COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
    COMMAND ${CPTOC_MSGFMT} --check --output-file=${dir}/cptoc.mo ${CPTOC_PO_DIR}/${lang}.po
    DEPENDS ${CPTOC_PO_DIR}/${lang}.po
    COMMENT "Compiling the message catalogue ${lang}"
    VERBATIM)
  list(APPEND CPTOC_CATALOGUES ${dir}/cptoc.mo)
endforeach()
add_custom_target(cptoc_catalogues ALL DEPENDS ${CPTOC_CATALOGUES})
add_dependencies(cptoc cptoc_catalogues)
if(TARGET cptoc-answer)
  add_dependencies(cptoc-answer cptoc_catalogues)
endif()

# Regenerating the template needs python3 and xgettext; building does not.
if(Python3_Interpreter_FOUND)
  add_custom_target(pot
    COMMAND ${Python3_EXECUTABLE} ${CPTOC_PO_DIR}/update-pot.py ${CMAKE_CURRENT_SOURCE_DIR} ${CPTOC_PO_DIR}/cptoc.pot
    COMMENT "Regenerating po/cptoc.pot from the sources"
    VERBATIM)
endif()
