# Desktop integration, manual pages and the Debian package.
#
# `cmake --install` puts the program, kavelo-cli, kavelo-sim, the icon in the hicolor sizes, the
# desktop entry, the AppStream metainfo and the manual pages where a Linux desktop looks for
# them; `cpack -G DEB` wraps the same tree into a Debian package. The targets install themselves in their own
# CMakeLists.txt; this file adds everything else.

if(NOT UNIX OR APPLE)
  # Windows deploys with windeployqt instead (docs/building-on-windows.md).
  return()
endif()

include(GNUInstallDirs)

# The reverse-DNS id names the desktop entry, the metainfo and the icon alike, so that software
# centres can match them up.
set(KAVELO_APP_ID org.orvo.KaveloUpdateTool)
set(KAVELO_PACKAGE_NAME kavelo-update-tool)
set(KAVELO_HOMEPAGE https://example.org/kavelo-update-tool)
set(KAVELO_MAINTAINER "Kavelo Update Tool developers <kavelo-update-tool@example.org>")
set(KAVELO_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/${KAVELO_PACKAGE_NAME})
set(KAVELO_PACKAGING_DIR ${CMAKE_CURRENT_LIST_DIR})
set(KAVELO_PACKAGING_BINARY_DIR ${PROJECT_BINARY_DIR}/packaging)

install(FILES ${KAVELO_PACKAGING_DIR}/${KAVELO_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${KAVELO_PACKAGING_DIR}/${KAVELO_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size 16 24 32 48 64 128 256)
  install(FILES ${PROJECT_SOURCE_DIR}/resources/artwork/kavelo-update-tool-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME ${KAVELO_APP_ID}.png)
endforeach()

# Manual pages, the changelog and the copyright notice. Debian wants manual pages and the
# changelog compressed with gzip -9n (no name, no time stamp, so the package is reproducible);
# without gzip they are installed as they are, which man reads just as well.
configure_file(${KAVELO_PACKAGING_DIR}/changelog.in ${KAVELO_PACKAGING_BINARY_DIR}/changelog @ONLY)
find_program(KAVELO_GZIP gzip)
set(kavelo_man_pages kavelo-update-tool.1 kavelo-cli.1 kavelo-sim.1)
if(KAVELO_GZIP)
  set(kavelo_compressed)
  foreach(page IN LISTS kavelo_man_pages)
    add_custom_command(
      OUTPUT ${KAVELO_PACKAGING_BINARY_DIR}/${page}.gz
      COMMAND ${KAVELO_GZIP} -9 -n -c ${KAVELO_PACKAGING_DIR}/${page} > ${page}.gz
      DEPENDS ${KAVELO_PACKAGING_DIR}/${page}
      WORKING_DIRECTORY ${KAVELO_PACKAGING_BINARY_DIR}
      VERBATIM)
    list(APPEND kavelo_compressed ${KAVELO_PACKAGING_BINARY_DIR}/${page}.gz)
    install(FILES ${KAVELO_PACKAGING_BINARY_DIR}/${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endforeach()
  add_custom_command(
    OUTPUT ${KAVELO_PACKAGING_BINARY_DIR}/changelog.gz
    COMMAND ${KAVELO_GZIP} -9 -n -c changelog > changelog.gz
    DEPENDS ${KAVELO_PACKAGING_BINARY_DIR}/changelog
    WORKING_DIRECTORY ${KAVELO_PACKAGING_BINARY_DIR}
    VERBATIM)
  list(APPEND kavelo_compressed ${KAVELO_PACKAGING_BINARY_DIR}/changelog.gz)
  add_custom_target(kavelo_packaging_files ALL DEPENDS ${kavelo_compressed})
  install(FILES ${KAVELO_PACKAGING_BINARY_DIR}/changelog.gz DESTINATION ${KAVELO_DOC_DIR})
else()
  foreach(page IN LISTS kavelo_man_pages)
    install(FILES ${KAVELO_PACKAGING_DIR}/${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endforeach()
  install(FILES ${KAVELO_PACKAGING_BINARY_DIR}/changelog DESTINATION ${KAVELO_DOC_DIR})
endif()
install(FILES ${KAVELO_PACKAGING_DIR}/copyright DESTINATION ${KAVELO_DOC_DIR})
install(FILES ${KAVELO_PACKAGING_DIR}/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME ${KAVELO_PACKAGE_NAME})

# The Debian package. Its dependencies come from dpkg-shlibdeps, which reads the libraries that
# the binaries link against; the Qt platform plugins arrive through libqt6gui6's recommendation.
set(CPACK_PACKAGE_NAME ${KAVELO_PACKAGE_NAME})
set(CPACK_PACKAGE_VENDOR "Orvo")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${KAVELO_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "firmware updater for the Orvo Kavelo Wi-Fi handheld")
set(CPACK_PACKAGE_DESCRIPTION
    "The Orvo Kavelo Update Tool brings an Orvo Kavelo Wi-Fi handheld throttle of a\n"
    "model railway up to date over the local network: the main-controller firmware,\n"
    "the language resources, the firmware of the radio module and the persistent\n"
    "flash data. Every step is shown on a status line and in a log, in seven\n"
    "languages.\n"
    "\n"
    "The package also contains kavelo-cli, which runs the same updates from the\n"
    "command line for dealers, workshops and scripts, and kavelo-sim, a simulated\n"
    "handheld that answers on a loopback address, so that the tool can be tried\n"
    "without a handheld.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGE_HOMEPAGE_URL ${KAVELO_HOMEPAGE})
set(CPACK_STRIP_FILES ON)
if(CMAKE_STRIP)
  set(CPACK_KAVELO_STRIP ${CMAKE_STRIP})
  set(CPACK_PRE_BUILD_SCRIPTS ${KAVELO_PACKAGING_DIR}/StripBinaries.cmake)
endif()
# Directories that the package creates get the usual 0755 whatever the umask of the build.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's own translations: the message boxes' Yes, No and OK in the window's language.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-translations-l10n")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)

if(NOT CPACK_GENERATOR)
  set(CPACK_GENERATOR DEB)
endif()
include(CPack)
