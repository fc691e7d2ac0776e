# What `cmake --install` puts where, and the Debian package made from it.

install(TARGETS kelvo-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET kelvo)
    install(TARGETS kelvo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

if(WIN32)
    # Windows keeps the help beside the program.
    install(DIRECTORY ${CMAKE_SOURCE_DIR}/help/ DESTINATION ${CMAKE_INSTALL_BINDIR}/Kelvo_Help)
    return()
endif()

install(DIRECTORY ${CMAKE_SOURCE_DIR}/help/ DESTINATION ${CMAKE_INSTALL_DATADIR}/kelvo/Kelvo_Help)

set(KELVO_APPSTREAM_ID "org.example.kelvo" CACHE STRING "AppStream component id (reverse DNS)")
configure_file(${CMAKE_SOURCE_DIR}/packaging/kelvo.metainfo.xml.in
               ${CMAKE_BINARY_DIR}/packaging/${KELVO_APPSTREAM_ID}.metainfo.xml @ONLY)
set(CPACK_PACKAGE_CONTACT "Kelvo developers <kelvo@example.org>" CACHE STRING "Package maintainer")
configure_file(${CMAKE_SOURCE_DIR}/packaging/copyright.in ${CMAKE_BINARY_DIR}/packaging/copyright
               @ONLY)

if(TARGET kelvo)
    install(FILES ${CMAKE_SOURCE_DIR}/packaging/kelvo.desktop
            DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${CMAKE_BINARY_DIR}/packaging/${KELVO_APPSTREAM_ID}.metainfo.xml
            DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
    install(FILES ${CMAKE_SOURCE_DIR}/src/ui/resources/icon128.svg
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME kelvo.svg)

    # PNG icons for desktops that do not draw SVG, rendered from the same
    # drawing.
    find_program(RSVG_CONVERT rsvg-convert)
    if(RSVG_CONVERT)
        set(pngs)
        foreach(size 16 24 32 48 64 128 256)
            set(png ${CMAKE_BINARY_DIR}/icons/${size}x${size}/kelvo.png)
            add_custom_command(OUTPUT ${png}
                COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/icons/${size}x${size}
                COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${png}
                        ${CMAKE_SOURCE_DIR}/src/ui/resources/icon128.svg
                DEPENDS ${CMAKE_SOURCE_DIR}/src/ui/resources/icon128.svg
                VERBATIM)
            list(APPEND pngs ${png})
            install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
        endforeach()
        add_custom_target(kelvo_icons ALL DEPENDS ${pngs})
    else()
        message(WARNING "rsvg-convert (librsvg2-bin) not found: only the SVG icon is installed")
    endif()
endif()

# Man pages, compressed as Debian expects.
find_program(GZIP gzip REQUIRED)
set(manpages)
foreach(page kelvo-cli kelvo)
    if(page STREQUAL "kelvo" AND NOT TARGET kelvo)
        continue()
    endif()
    set(gz ${CMAKE_BINARY_DIR}/man/${page}.1.gz)
    add_custom_command(OUTPUT ${gz}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
        COMMAND ${GZIP} -9n -c ${CMAKE_SOURCE_DIR}/packaging/man/${page}.1 > ${gz}
        DEPENDS ${CMAKE_SOURCE_DIR}/packaging/man/${page}.1)
    list(APPEND manpages ${gz})
    install(FILES ${gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
# A native package's changelog, compressed like the man pages.
set(changelog ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
add_custom_command(OUTPUT ${changelog}
    COMMAND ${GZIP} -9n -c ${CMAKE_SOURCE_DIR}/packaging/changelog > ${changelog}
    DEPENDS ${CMAKE_SOURCE_DIR}/packaging/changelog)
add_custom_target(kelvo_manpages ALL DEPENDS ${manpages} ${changelog})

install(FILES ${CMAKE_SOURCE_DIR}/packaging/kelvo-cli.bash
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME kelvo-cli)
install(FILES ${CMAKE_BINARY_DIR}/packaging/copyright ${CMAKE_BINARY_DIR}/packaging/changelog.gz
              ${CMAKE_SOURCE_DIR}/README.md
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kelvo)
# The README's links and images lead into docs/.
install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kelvo)

# The seated user may use the supported USB programmers.
install(FILES ${CMAKE_SOURCE_DIR}/packaging/60-kelvo-programmers.rules
        DESTINATION ${CMAKE_INSTALL_PREFIX}/lib/udev/rules.d)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kelvo)
set(CPACK_PACKAGE_VENDOR "Kelvo")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "configure and reflash firing-control boards")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Kelvo reads, changes and writes the settings of a firing-control board, and\n\
writes new firmware to it, through a programming cable on the PC parallel\n\
port. The package holds the desktop program kelvo and the terminal program\n\
kelvo-cli, which also runs a simulated board. Using a real port needs\n\
membership of the lp group; the package does not add anyone to it. A udev\n\
rule lets the person at the computer use USBasp and FTDI programmers.")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${KELVO_WEBSITE})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Library dependencies come from dpkg-shlibdeps; Qt finds its windowing
# plugins in a package of their own.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(TARGET kelvo)
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
endif()
set(CPACK_STRIP_FILES ON)
include(CPack)
