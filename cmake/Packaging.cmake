# Installation layout and the Debian package. Included at the end of the top
# CMakeLists.txt, after every program is defined; a program that is not built (yet)
# is skipped.
#
#   bin/                                 the programs
#   share/halvek/                        DefaultData and skin (programFolder() looks here)
#   share/applications, share/metainfo   desktop entry and AppStream data
#   share/icons/hicolor/                 the icon, SVG and PNG sizes
#   share/man/man1/                      manual pages
#   lib/udev/rules.d/                    device access for the user at the seat

set(HALVEK_APP_ID org.halvek.Halvek)
if(NOT DEFINED HALVEK_VERSION)
    set(HALVEK_VERSION 2.3.0.2)
endif()

foreach(program halvek halvekctl halvek-devsim halvek-audio halvek-update)
    if(TARGET ${program})
        install(TARGETS ${program} RUNTIME DESTINATION bin)
    endif()
endforeach()

foreach(folder DefaultData skin Font)
    if(EXISTS ${CMAKE_SOURCE_DIR}/data/${folder})
        install(DIRECTORY ${CMAKE_SOURCE_DIR}/data/${folder} DESTINATION share/halvek
                PATTERN README.md EXCLUDE)
    endif()
endforeach()

install(FILES ${CMAKE_SOURCE_DIR}/packaging/desktop/${HALVEK_APP_ID}.desktop
        DESTINATION share/applications)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/desktop/${HALVEK_APP_ID}.metainfo.xml
        DESTINATION share/metainfo)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/udev/70-halvek.rules DESTINATION lib/udev/rules.d)

# Icons are built into build/icons/hicolor too, so the tray finds them when the program
# runs from the build folder.
set(HALVEK_ICON_SVG ${CMAKE_SOURCE_DIR}/packaging/icons/${HALVEK_APP_ID}.svg)
set(HALVEK_ICON_ROOT ${CMAKE_BINARY_DIR}/icons/hicolor)
set(HALVEK_PACKAGING_OUTPUTS ${HALVEK_ICON_ROOT}/scalable/apps/${HALVEK_APP_ID}.svg)
add_custom_command(OUTPUT ${HALVEK_ICON_ROOT}/scalable/apps/${HALVEK_APP_ID}.svg
                   COMMAND ${CMAKE_COMMAND} -E copy ${HALVEK_ICON_SVG} ${HALVEK_ICON_ROOT}/scalable/apps/
                   DEPENDS ${HALVEK_ICON_SVG} VERBATIM)
install(FILES ${HALVEK_ICON_SVG} DESTINATION share/icons/hicolor/scalable/apps)

find_program(HALVEK_RSVG_CONVERT rsvg-convert)
if(HALVEK_RSVG_CONVERT)
    foreach(size 16 24 32 48 64 128 256)
        set(folder ${HALVEK_ICON_ROOT}/${size}x${size}/apps)
        add_custom_command(OUTPUT ${folder}/${HALVEK_APP_ID}.png
                           COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
                           COMMAND ${HALVEK_RSVG_CONVERT} -w ${size} -h ${size}
                                   -o ${folder}/${HALVEK_APP_ID}.png ${HALVEK_ICON_SVG}
                           DEPENDS ${HALVEK_ICON_SVG} VERBATIM)
        list(APPEND HALVEK_PACKAGING_OUTPUTS ${folder}/${HALVEK_APP_ID}.png)
        install(FILES ${folder}/${HALVEK_APP_ID}.png DESTINATION share/icons/hicolor/${size}x${size}/apps)
    endforeach()
else()
    message(WARNING "rsvg-convert not found (librsvg2-bin): only the SVG icon is installed")
endif()

# Manual pages, compressed the way Debian ships them (-n: no time stamp, so the
# package is the same on every build).
foreach(page halvek halvekctl halvek-devsim)
    set(source ${CMAKE_SOURCE_DIR}/docs/man/${page}.1)
    set(compressed ${CMAKE_BINARY_DIR}/man/${page}.1.gz)
    add_custom_command(OUTPUT ${compressed}
                       COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
                       COMMAND sh -c "gzip -9n -c \"$0\" > \"$1\"" ${source} ${compressed}
                       DEPENDS ${source} VERBATIM)
    list(APPEND HALVEK_PACKAGING_OUTPUTS ${compressed})
    install(FILES ${compressed} DESTINATION share/man/man1)
endforeach()

add_custom_target(halvek_packaging_files ALL DEPENDS ${HALVEK_PACKAGING_OUTPUTS})
# The tray's tests read the rendered icon sizes.
if(TARGET ui_tests)
    add_dependencies(ui_tests halvek_packaging_files)
endif()

# The Debian package: library dependencies from dpkg-shlibdeps, plus the fonts the skin's
# Latin, Chinese and Thai text is drawn with.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME halvek)
set(CPACK_PACKAGE_VERSION ${HALVEK_VERSION})
set(CPACK_PACKAGE_VENDOR "Halvek")
set(CPACK_PACKAGE_CONTACT "Halvek developers <halvek@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "configure Halvek keyboards, mice and headsets")
set(CPACK_PACKAGE_DESCRIPTION
    "Remaps keys, records macros, drives the lighting and keeps the settings of the\
 Halvek family of USB gaming peripherals in named profiles. Includes halvekctl for\
 the shell and a udev rule that lets the user at the seat reach the devices.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-noto-core, fonts-wqy-microhei")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_SOURCE_DIR}/packaging/debian/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)

if(HALVEK_TESTS)
    find_program(HALVEK_DESKTOP_FILE_VALIDATE desktop-file-validate)
    find_program(HALVEK_APPSTREAMCLI appstreamcli)
    if(HALVEK_DESKTOP_FILE_VALIDATE)
        add_test(NAME packaging.DesktopFileIsValid
                 COMMAND ${HALVEK_DESKTOP_FILE_VALIDATE}
                         ${CMAKE_SOURCE_DIR}/packaging/desktop/${HALVEK_APP_ID}.desktop)
    endif()
    if(HALVEK_APPSTREAMCLI)
        add_test(NAME packaging.MetainfoIsValid
                 COMMAND ${HALVEK_APPSTREAMCLI} validate --no-net
                         ${CMAKE_SOURCE_DIR}/packaging/desktop/${HALVEK_APP_ID}.metainfo.xml)
    endif()
    # Installs into a scratch prefix and builds, unpacks and runs the package.
    add_test(NAME packaging.InstallAndPackage
             COMMAND bash ${CMAKE_SOURCE_DIR}/tests/packaging/install_test.sh
                     ${CMAKE_BINARY_DIR} ${CMAKE_SOURCE_DIR})
    set_tests_properties(packaging.InstallAndPackage PROPERTIES TIMEOUT 600 RUN_SERIAL ON)
endif()
