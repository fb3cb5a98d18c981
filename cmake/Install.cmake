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

# Debian looks for a package's documents under its own name: the README with
# what it links to, the copyright and the changelog.
include(${CMAKE_CURRENT_LIST_DIR}/DocLinks.cmake)
set(ORB_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/${ORB_PACKAGE_NAME})
orb_install_docs(${ORB_DOC_DIR} README.md)
install(FILES ${PROJECT_SOURCE_DIR}/resources/package/copyright DESTINATION ${ORB_DOC_DIR})

# Manual pages and the changelog, gzip -9n: no name or time in the header, so
# the same sources give the same bytes.
find_program(ORB_GZIP gzip REQUIRED)
set(ORB_PACKAGE_STAGE ${PROJECT_BINARY_DIR}/package-stage)
function(orb_gzip_installed source name destination)
  configure_file(${source} ${ORB_PACKAGE_STAGE}/${name} @ONLY)
  execute_process(COMMAND ${ORB_GZIP} -9nkf ${ORB_PACKAGE_STAGE}/${name} COMMAND_ERROR_IS_FATAL ANY)
  install(FILES ${ORB_PACKAGE_STAGE}/${name}.gz DESTINATION ${destination})
endfunction()
orb_gzip_installed(${PROJECT_SOURCE_DIR}/app/ORB720Demo.1.in ORB720Demo.1 ${CMAKE_INSTALL_MANDIR}/man1)
if(TARGET orb720-script)
  orb_gzip_installed(${PROJECT_SOURCE_DIR}/app/script/orb720-script.1 orb720-script.1 ${CMAKE_INSTALL_MANDIR}/man1)
endif()
# Debian's changelog date is that of the release, in RFC 5322 form.
string(REGEX MATCH "^([0-9]+)-([0-9]+)-([0-9]+)$" _ ${ORB_RELEASE_DATE})
math(EXPR y "${CMAKE_MATCH_1}")
math(EXPR m "${CMAKE_MATCH_2}")
math(EXPR d "${CMAKE_MATCH_3}")
# Days since 1970-01-01 of a proleptic Gregorian date, then its weekday.
math(EXPR a "(14 - ${m}) / 12")
math(EXPR yy "${y} + 4800 - ${a}")
math(EXPR mm "${m} + 12 * ${a} - 3")
math(EXPR days "${d} + (153 * ${mm} + 2) / 5 + 365 * ${yy} + ${yy} / 4 - ${yy} / 100 + ${yy} / 400 - 32045 - 2440588")
math(EXPR wd "(${days} + 4) % 7")
set(weekdays Sun Mon Tue Wed Thu Fri Sat)
list(GET weekdays ${wd} weekday)
math(EXPR mi "${m} - 1")
set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
list(GET months ${mi} month)
set(ORB_CHANGELOG_DATE "${weekday}, ${CMAKE_MATCH_3} ${month} ${y} 12:00:00 +0000")
orb_gzip_installed(${PROJECT_SOURCE_DIR}/resources/package/changelog.in changelog ${ORB_DOC_DIR})

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
