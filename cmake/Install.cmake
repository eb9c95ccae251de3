# Installation layout and the Debian package.
include(GNUInstallDirs)

install(TARGETS norvalis-check RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET norvalis)
  install(TARGETS norvalis RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
# The crash handler looks for its helper beside the executable.
if(TARGET norvalis-crash)
  install(TARGETS norvalis-crash RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

set(NORVALIS_DATA_DIR ${CMAKE_INSTALL_DATADIR}/norvalis)
install(DIRECTORY resources/help/ DESTINATION ${NORVALIS_DATA_DIR}/help)
install(FILES examples/shiftjis_quoted.csv examples/utf8_bom.csv examples/eucjp.csv
              examples/column_check.csv examples/README.md
        DESTINATION ${NORVALIS_DATA_DIR}/examples)

foreach(size 16 32 48 128 256)
  install(FILES resources/icons/norvalis-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME norvalis.png)
endforeach()
install(FILES resources/icons/norvalis.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES resources/desktop/norvalis.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES resources/desktop/norvalis-mime.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME norvalis.xml)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME norvalis)
set(CPACK_PACKAGE_VENDOR Kestrune)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Kestrune <norvalis@kestrune.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "CSVファイル検証ツール / CSV file checker for Japanese encodings")
set(CPACK_PACKAGE_DESCRIPTION
    "Norvalis opens CSV files in every Japanese encoding (Shift_JIS, EUC-JP, ISO-2022-JP, UTF-8, UTF-16) and checks that a column holds one value throughout. norvalis-check runs the same check from scripts.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's platform plugins, its Japanese translations and a Japanese font are loaded at run time,
# so no library dependency names them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, qt6-translations-l10n, fonts-ipafont-gothic")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${PROJECT_SOURCE_DIR}/packaging/postinst ${PROJECT_SOURCE_DIR}/packaging/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
