# Installation layout: programs in bindir, the simulated scanner in a private
# library folder (found relative to the programs, so a DESTDIR or relocated
# tree works), desktop integration, man pages, metainfo and the licence.

set(LUMORA_PRIVATE_LIBDIR ${CMAKE_INSTALL_LIBDIR}/lumora)
file(RELATIVE_PATH LUMORA_PRIVATE_LIBDIR_FROM_BINDIR
     ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR} ${CMAKE_INSTALL_PREFIX}/${LUMORA_PRIVATE_LIBDIR})
configure_file(${PROJECT_SOURCE_DIR}/src/platform/InstallLayout.h.in
               ${CMAKE_BINARY_DIR}/generated/InstallLayout.h @ONLY)

# Man pages are made from the programs' own --help, so they cannot drift.
set(LUMORA_MAN_DIR ${CMAKE_BINARY_DIR}/man)
set(LUMORA_CLI_COMMANDS info render export unpack samples convert scanner)
add_custom_command(
  OUTPUT ${LUMORA_MAN_DIR}/lumora.1
  COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:lumora> -DNAME=lumora
          "-DSUMMARY=view scanner data files and run alignment tests"
          -DOUTPUT=${LUMORA_MAN_DIR}/lumora.1 -DVERSION=${PROJECT_VERSION}
          -P ${PROJECT_SOURCE_DIR}/cmake/ManPage.cmake
  DEPENDS lumora ${PROJECT_SOURCE_DIR}/cmake/ManPage.cmake
  VERBATIM)
add_custom_command(
  OUTPUT ${LUMORA_MAN_DIR}/lumora-cli.1
  COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:lumora-cli> -DNAME=lumora-cli
          "-DSUMMARY=inspect, render, convert and unpack scanner data files; talk to the scanner"
          "-DCOMMANDS=${LUMORA_CLI_COMMANDS}"
          -DOUTPUT=${LUMORA_MAN_DIR}/lumora-cli.1 -DVERSION=${PROJECT_VERSION}
          -P ${PROJECT_SOURCE_DIR}/cmake/ManPage.cmake
  DEPENDS lumora-cli lumora-cli-draw ${PROJECT_SOURCE_DIR}/cmake/ManPage.cmake
  VERBATIM)
add_custom_target(lumora_man_pages ALL DEPENDS ${LUMORA_MAN_DIR}/lumora.1 ${LUMORA_MAN_DIR}/lumora-cli.1)

install(TARGETS lumora lumora-cli lumora-thumbnailer RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS zel_scan_2000 LIBRARY DESTINATION ${LUMORA_PRIVATE_LIBDIR})
install(TARGETS lumora-cli-draw RUNTIME DESTINATION ${LUMORA_PRIVATE_LIBDIR})
install(FILES resources/lumora.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES resources/lumora.thumbnailer DESTINATION ${CMAKE_INSTALL_DATADIR}/thumbnailers)
install(FILES resources/lumora-con.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
install(FILES resources/icons/lumora.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/64x64/apps)
install(FILES resources/lumora.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${LUMORA_MAN_DIR}/lumora.1 ${LUMORA_MAN_DIR}/lumora-cli.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES LICENSE docs/USER_GUIDE.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(DIRECTORY docs/images DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES resources/icons/lumora.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/64x64/mimetypes
        RENAME application-x-lumora-con.png)

# `cpack -G DEB`: one package with everything above. Its dependencies are
# what dpkg-shlibdeps finds the programs linked against, never a hand list.
set(CPACK_PACKAGE_NAME lumora)
set(CPACK_PACKAGE_VENDOR "Lumora")
set(CPACK_PACKAGE_CONTACT "Lumora maintainers <lumora@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION "Views the data files of wide-format document scanner test tools (light profiles, stitching pictures, noise tests, oscilloscope recordings, star tests, tonal resolution results) and runs scanner diagnostics; includes a simulated scanner.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# dpkg-shlibdeps must not look for the simulated scanner among the system's libraries.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/bin)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "shared-mime-info, desktop-file-utils")
set(CPACK_GENERATOR DEB)
include(CPack)
