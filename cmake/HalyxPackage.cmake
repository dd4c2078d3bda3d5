# Installation layout and the Debian package (cpack -G DEB, or scripts/package.sh).
#   /usr/bin                        the programs
#   /usr/share/halyx/maps           the map files; the programs find them from their own folder
#                                   (bin/../share/halyx/maps), as they find data/maps in a tree
#   /usr/share/doc/halyx            README, the documents of docs/, copyright
#   /usr/share/applications         the desktop console's launcher, with its icon in hicolor
#   /usr/share/man/man1             the programs' manual pages, made from their --help
include(GNUInstallDirs)

set(HALYX_INSTALLED_PROGRAMS halyx-command halyx-ans halyx-station halyx-scenario halyx-log)
foreach(program IN LISTS HALYX_INSTALLED_PROGRAMS)
    if(TARGET ${program})
        install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    endif()
endforeach()

# A manual page per program, made from its --help with help2man (Debian wants one for every
# program in /usr/bin). Without help2man the package goes without them.
find_program(HALYX_HELP2MAN help2man)
set(HALYX_WHATIS_halyx-command "the command station console of a multi-agent team simulation")
set(HALYX_WHATIS_halyx-ans "the agent name server")
set(HALYX_WHATIS_halyx-station "stations played by bots, and a load tool")
set(HALYX_WHATIS_halyx-scenario "inspect and make the files of a scenario")
set(HALYX_WHATIS_halyx-log "turn recorded experiment logs into data and pictures")
if(HALYX_HELP2MAN)
    set(manual_pages)
    foreach(program IN LISTS HALYX_INSTALLED_PROGRAMS)
        if(NOT TARGET ${program})
            continue()
        endif()
        set(page ${PROJECT_BINARY_DIR}/man/${program}.1)
        # The console may be asked for --help where no display exists.
        add_custom_command(
            OUTPUT ${page}.gz
            COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
            COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
                    ${HALYX_HELP2MAN} --no-info --version-string=${PROJECT_VERSION}
                    "--name=${HALYX_WHATIS_${program}}" --output=${page} $<TARGET_FILE:${program}>
            COMMAND gzip -9nf ${page}
            DEPENDS ${program}
            COMMENT "Manual page of ${program}"
            VERBATIM)
        list(APPEND manual_pages ${page}.gz)
    endforeach()
    add_custom_target(halyx_manual_pages ALL DEPENDS ${manual_pages})
    install(FILES ${manual_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
    message(STATUS "help2man not found: the package is built without manual pages")
endif()

install(DIRECTORY ${PROJECT_SOURCE_DIR}/data/maps/ DESTINATION ${CMAKE_INSTALL_DATADIR}/halyx/maps
        FILES_MATCHING PATTERN "*.txt")
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/packaging/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/halyx)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/halyx
        FILES_MATCHING PATTERN "*.md" PATTERN "*.png")
# Debian wants the package's history beside its copyright, compressed without a time stamp.
execute_process(COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/packaging/changelog
                OUTPUT_FILE ${PROJECT_BINARY_DIR}/changelog.gz)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/packaging/changelog)
install(FILES ${PROJECT_BINARY_DIR}/changelog.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/halyx)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/halyx-command.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/halyx.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

execute_process(COMMAND dpkg --print-architecture OUTPUT_VARIABLE HALYX_DEB_ARCH
                OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
if(NOT HALYX_DEB_ARCH)
    set(HALYX_DEB_ARCH amd64)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME halyx)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Halyx developers")
set(HALYX_PACKAGE_MAINTAINER "Halyx developers <halyx@example.org>"
    CACHE STRING "The Maintainer field of the Debian package: the lab that builds it")
set(CPACK_PACKAGE_CONTACT "${HALYX_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "experimenter's console of a multi-agent range-safety team simulation")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Experimenter's console of a multi-agent team simulation\n"
    " The command station of a human-factors study of range-safety operations\n"
    " around a space launch: it authors scenarios, forms the team of station\n"
    " programs, drives the shared clock, records every station command in an\n"
    " experiment log and plays a log back. Included: the console, the agent\n"
    " name server, a synthetic station, the scenario tool and halyx-log, which\n"
    " turns logs into CSV files, summaries and timeline pictures.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${HALYX_DEB_ARCH})
# The library packages the programs need are read off the programs by dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME "halyx_${PROJECT_VERSION}_${HALYX_DEB_ARCH}.deb")
include(CPack)
