# Installing the program: the executable in PREFIX/bin, the files it reads in
# PREFIX/share/tesselftp (the program finds them relative to itself), and what the
# desktop needs to list it: the menu entry, the icons and the AppStream metadata.
# `cpack -G DEB` in the build folder turns the same rules into a Debian package.
include(GNUInstallDirs)

set(TESSEL_APP_ID org.tesselftp.TesselFTP)

install(TARGETS tesselftp RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/data/PUPU.wav ${PROJECT_SOURCE_DIR}/data/FtpHelp.htm
        DESTINATION ${CMAKE_INSTALL_DATADIR}/tesselftp)
install(FILES ${PROJECT_SOURCE_DIR}/data/desktop/${TESSEL_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/data/desktop/${TESSEL_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size 48 128)
  install(FILES ${PROJECT_SOURCE_DIR}/data/icons/${TESSEL_APP_ID}-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME ${TESSEL_APP_ID}.png)
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/data/icons/${TESSEL_APP_ID}.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# The Debian package. The libraries come from dpkg-shlibdeps; what the program loads by
# name rather than by linking is listed by hand: the Japanese font (without it every
# kana is a box), Qt's translations (the message boxes' Japanese buttons) and libsecret,
# which QtKeychain loads to reach the desktop's secret store for saved logins.
set(CPACK_PACKAGE_NAME tesselftp)
set(CPACK_PACKAGE_VENDOR "TesselFTP")
set(CPACK_PACKAGE_CONTACT "TesselFTP maintainers <maintainers@users.noreply.c-seed-7b7a8683.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "FTP client with a Japanese user interface")
set(CPACK_PACKAGE_DESCRIPTION
    "TesselFTP connects to an FTP server, shows its folders and files beside the local ones and moves single files either way in text or binary mode. It deletes remote files, makes and removes remote folders, sends raw FTP commands and can dial up through pppd.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-ipafont-gothic, qt6-translations-l10n, libsecret-1-0")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "ppp")
set(CPACK_GENERATOR DEB)
include(CPack)
