# What `cmake --install` puts under the prefix. The version comes from
# project(); nothing here repeats it.
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
