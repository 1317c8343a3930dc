# What a user gets: the Windows binaries' version resources, the install layout (with the manual
# page made from the program's own help texts) and CPack, a ZIP on Windows and a .deb on Linux.
# The binaries are named by target only: morvane (the plug-in DLL), morvane_cli (the host).
set(MORVANE_PKG_DIR ${CMAKE_CURRENT_LIST_DIR}/packaging)
file(GLOB MORVANE_NOTICES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/third-party/*.txt)
set(CPACK_PACKAGE_NAME morvane)
set(CPACK_PACKAGE_VENDOR "the Morvane authors")
set(CPACK_PACKAGE_CONTACT "the Morvane authors <maintainers@morvane.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "import Jedi Knight levels into JK2Radiant maps")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)

# The settings keys with their defaults and meanings, for README.txt and the manual page.
file(READ ${MORVANE_PKG_DIR}/settings.txt MORVANE_SETTINGS_TEXT)

if(WIN32)
  # windres runs on its own rather than as a language of the build, so that the compilers'
  # options never reach it.
  function(morvane_version_resource target type name description)
    if(NOT TARGET ${target})
      return()
    endif()
    set(MORVANE_RC_TYPE ${type})
    set(MORVANE_RC_NAME ${name})
    set(MORVANE_RC_DESCRIPTION ${description})
    set(rc ${CMAKE_BINARY_DIR}/version/${target}.rc)
    configure_file(${MORVANE_PKG_DIR}/version.rc.in ${rc} @ONLY)
    add_custom_command(OUTPUT ${rc}.o COMMAND ${CMAKE_RC_COMPILER} -O coff ${rc} ${rc}.o
                       DEPENDS ${rc} VERBATIM)
    target_sources(${target} PRIVATE ${rc}.o)
  endfunction()
  morvane_version_resource(morvane VFT_DLL morvane.dll
                           "Morvane for JK2Radiant: imports Jedi Knight levels (plug-in)")
  morvane_version_resource(morvane_cli VFT_APP morvane.exe
                           "Morvane: imports Jedi Knight levels (command line)")

  # The archive unpacks as the editor's folder expects it: the DLL under plugins/. Installed as
  # targets, so that CPack strips them; the DLL's import library stays out.
  install(TARGETS morvane RUNTIME DESTINATION plugins ARCHIVE DESTINATION lib EXCLUDE_FROM_ALL)
  install(TARGETS morvane_cli RUNTIME DESTINATION .)
  configure_file(${MORVANE_PKG_DIR}/README-windows.txt.in ${CMAKE_BINARY_DIR}/README.txt @ONLY
                 NEWLINE_STYLE CRLF)
  install(FILES ${CMAKE_BINARY_DIR}/README.txt ${CMAKE_SOURCE_DIR}/LICENSE DESTINATION .)
  install(FILES ${MORVANE_NOTICES} DESTINATION third-party)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME morvane-${PROJECT_VERSION}-win32)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
elseif(NOT MORVANE_FUZZ)
  include(GNUInstallDirs)
  install(TARGETS morvane_cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

  # The manual page: the commands and options from the built program's --help, so that new ones
  # appear without edits; exit status, settings and examples from the script.
  set(man ${CMAKE_BINARY_DIR}/morvane.1)
  add_custom_command(
    OUTPUT ${man} ${man}.gz
    COMMAND sh ${CMAKE_SOURCE_DIR}/scripts/make-manpage.sh $<TARGET_FILE:morvane_cli>
            ${PROJECT_VERSION} ${MORVANE_PKG_DIR}/settings.txt ${man}
    COMMAND gzip -9nkf ${man}
    DEPENDS morvane_cli ${CMAKE_SOURCE_DIR}/scripts/make-manpage.sh ${MORVANE_PKG_DIR}/settings.txt
    VERBATIM)
  add_custom_target(morvane_manpage ALL DEPENDS ${man} ${man}.gz)
  install(FILES ${man}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

  # Debian wants the licence of everything in the package as share/doc/<package>/copyright.
  set(copyright ${CMAKE_BINARY_DIR}/copyright)
  file(READ ${CMAKE_SOURCE_DIR}/LICENSE text)
  file(WRITE ${copyright} "Morvane\n\n${text}")
  foreach(notice ${MORVANE_NOTICES})
    file(READ ${notice} text)
    file(APPEND ${copyright} "\n----------------------------------------------------------------\n\n${text}")
  endforeach()
  # and, the package being its own upstream, changelog.gz: one entry for the version.
  string(TIMESTAMP day "%a, %d %b %Y 00:00:00 +0000" UTC)
  file(WRITE ${CMAKE_BINARY_DIR}/changelog
       "morvane (${PROJECT_VERSION}) stable; urgency=medium\n\n"
       "  * Release ${PROJECT_VERSION}: the JK2Radiant plug-in and the command-line host.\n\n"
       " -- ${CPACK_PACKAGE_CONTACT}  ${day}\n")
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/changelog.gz
                     COMMAND gzip -9nkf ${CMAKE_BINARY_DIR}/changelog
                     DEPENDS ${CMAKE_BINARY_DIR}/changelog VERBATIM)
  add_custom_target(morvane_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/changelog.gz)
  install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/LICENSE ${copyright}
                ${CMAKE_BINARY_DIR}/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})
  install(FILES ${MORVANE_NOTICES} DESTINATION ${CMAKE_INSTALL_DOCDIR}/third-party)

  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
  # CPack puts the summary in front and indents the lines.
  string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
         "morvane reads a Jedi Knight level (a JKL file, or one inside a GOB or GOO\n"
         "container), converts its MAT textures into TGA or JPEG files and writes its\n"
         "solid surfaces as slab brushes into a JK2Radiant .map file, as the Morvane\n"
         "plug-in of the editor does. It also lists, extracts and converts the\n"
         "contents of containers and draws an import as a PNG picture.")
endif()
include(CPack)
