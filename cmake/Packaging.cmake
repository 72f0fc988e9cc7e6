# Installation layout and the Debian package (`make package`).
# The panel lands in bin/, its shared files in share/orvalo/ (found from bin/../share/orvalo at run
# time), the desktop entry, AppStream metadata and icon where desktops look for them.
include(GNUInstallDirs)

set(ORVALO_DESKTOP_ID org.orvalo.Lite)
set(_desktop ${CMAKE_SOURCE_DIR}/resources/desktop)

install(TARGETS orvalo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/resources/icons DESTINATION ${CMAKE_INSTALL_DATADIR}/orvalo)
install(DIRECTORY ${CMAKE_BINARY_DIR}/src/app/fonts DESTINATION ${CMAKE_INSTALL_DATADIR}/orvalo)
if(EXISTS ${CMAKE_SOURCE_DIR}/resources/Audio)
    install(DIRECTORY ${CMAKE_SOURCE_DIR}/resources/Audio DESTINATION ${CMAKE_INSTALL_DATADIR}/orvalo)
endif()
install(FILES ${_desktop}/${ORVALO_DESKTOP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
configure_file(${_desktop}/${ORVALO_DESKTOP_ID}.metainfo.xml ${CMAKE_BINARY_DIR}/${ORVALO_DESKTOP_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/${ORVALO_DESKTOP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${_desktop}/orvalo.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvalo-lite)
set(CPACK_PACKAGE_VENDOR "Orvalo")
set(CPACK_PACKAGE_CONTACT "Orvalo Lite maintainers <orvalo@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "SIP operator panel for several extensions at once")
set(CPACK_PACKAGE_DESCRIPTION "Desktop SIP softphone built as a telephone operator's panel: registration \
state, hold, mute, record, transfers, corporate directory with presence, chat and call records.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT) # orvalo-lite_<version>_amd64.deb
set(CPACK_DEBIAN_PACKAGE_SECTION comm)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON) # Depends computed by dpkg-shlibdeps from what the binary links
# Plugins loaded at run time, which dpkg-shlibdeps cannot see: the SQLite driver, the X11 platform
# and the SVG icon engine.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite, qt6-qpa-plugins, libqt6svg6")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "linphone-common")
include(CPack)
