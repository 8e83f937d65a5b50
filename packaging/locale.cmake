# Installation of the message catalogues and of the Japanese manual pages;
# included at the end of packaging/install.cmake.
foreach(lang IN LISTS CPTOC_LINGUAS)
  install(FILES ${CPTOC_LOCALE_BUILD_DIR}/${lang}/LC_MESSAGES/cptoc.mo
    DESTINATION ${CMAKE_INSTALL_LOCALEDIR}/${lang}/LC_MESSAGES)
endforeach()

# The Japanese pages go under man/ja/man1, compressed as the English ones.
set(CPTOC_JA_GZ_DIR ${CPTOC_GZ_DIR}/ja)
set(CPTOC_JA_GZ_FILES)
foreach(page IN LISTS CPTOC_PROGRAMS)
  if(NOT EXISTS ${CPTOC_MAN_DIR}/ja/${page}.1)
    continue()
  endif()
  set(src ${CPTOC_JA_GZ_DIR}/${page}.1)
  configure_file(${CPTOC_MAN_DIR}/ja/${page}.1 ${src} @ONLY)
  add_custom_command(OUTPUT ${src}.gz
    COMMAND ${CPTOC_GZIP} -9n -c ${src} > ${src}.gz
    DEPENDS ${src}
    COMMENT "Compressing the Japanese manual page ${page}(1)"
    VERBATIM)
  list(APPEND CPTOC_JA_GZ_FILES ${src}.gz)
endforeach()
add_custom_target(cptoc_ja_pages ALL DEPENDS ${CPTOC_JA_GZ_FILES})
install(FILES ${CPTOC_JA_GZ_FILES} DESTINATION ${CMAKE_INSTALL_MANDIR}/ja/man1)

add_dependencies(installables cptoc_catalogues cptoc_ja_pages)
