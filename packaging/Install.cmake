# Where an install puts the program, following the freedesktop conventions,
# and the Debian package made from it (cpack -G DEB).
include(GNUInstallDirs)

install(TARGETS vantrel vantrel-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# vantrel-cli loads the type names from a module of its own, found beside it
# or in the library folder of its prefix.
install(TARGETS vantrel_typenames_module LIBRARY DESTINATION lib/vantrel)

install(FILES ${CMAKE_SOURCE_DIR}/packaging/vantrel.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/vantrel-mime.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME vantrel.xml)
install(FILES ${CMAKE_SOURCE_DIR}/gui/resources/icons/vantrel.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size ${VANTREL_ICON_SIZES})
    install(FILES ${CMAKE_SOURCE_DIR}/gui/resources/icons/vantrel-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME vantrel.png)
endforeach()

set(CPACK_PACKAGE_NAME vantrel)
set(CPACK_PACKAGE_VENDOR "Olvesco")
set(CPACK_PACKAGE_CONTACT "Olvesco <vantrel@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_HOMEPAGE_URL "${PROJECT_HOMEPAGE_URL}")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# The libraries' packages come from the programs themselves; what they load
# at run time (the display plugins, the MIME database, the help's database
# driver) is named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, shared-mime-info, libqt6sql6-sqlite")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Renames many files and folders at once\n A desktop tool and a command line that rename or copy many files and\n folders in one batch from twelve criteria, with a live preview of every\n new name, no-replace renames, a write-ahead journal and undo.")
include(CPack)
