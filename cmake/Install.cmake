# What `cmake --install` puts under the prefix, and the Debian package CPack
# builds from it. The version comes from project(); nothing here repeats it.
include(GNUInstallDirs)

set(ORB_PACKAGE_NAME orb720demo)
set(ORB_DESKTOP_DIR ${PROJECT_SOURCE_DIR}/resources/desktop)

install(TARGETS orb720demo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET orb720-script)
  install(TARGETS orb720-script RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

install(FILES ${ORB_DESKTOP_DIR}/${ORB_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
configure_file(${ORB_DESKTOP_DIR}/${ORB_APP_ID}.metainfo.xml.in
               ${PROJECT_BINARY_DIR}/${ORB_APP_ID}.metainfo.xml @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/${ORB_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

set(icons ${PROJECT_SOURCE_DIR}/resources/icons/hicolor)
foreach(n IN LISTS ORB_ICON_SIZES)
  install(FILES ${icons}/${n}x${n}/apps/${ORB_APP_ID}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${n}x${n}/apps)
endforeach()
install(FILES ${icons}/scalable/apps/${ORB_APP_ID}.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# Debian looks for a package's documents under its own name.
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${ORB_PACKAGE_NAME})

# ---- Debian package: cpack -G DEB ----
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${ORB_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "example.com")
set(CPACK_PACKAGE_CONTACT "ORB-720 Demo maintainers <orb720@example.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "simulator of a handheld vibration data collector")
set(CPACK_PACKAGE_DESCRIPTION
    "ORB-720 Demo shows a one-channel vibration data collector with its colour\n"
    "display and four push buttons, worked with the mouse: a demonstration route,\n"
    "measurements judged against alarm levels, spectrum analysis, a tachometer,\n"
    "in English or Russian.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.example.com/orb720")
# Dependencies are read from the shared libraries the program links.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
include(CPack)
