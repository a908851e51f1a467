# What `cmake --install` puts under the prefix, and the Debian package that
# `cpack -G DEB` makes of the same files:
#   bin/quelm, bin/quelm-info          (games/ in the package)
#   share/quelm/                       the generated models and music
#   share/applications/quelm.desktop
#   share/metainfo/quelm.metainfo.xml  the software centres' entry
#   share/icons/hicolor/SIZE/apps/quelm.png   48, 128 and 256 px
#   share/man/man6/quelm.6.gz, share/man/man6/quelm-info.6.gz
#   share/doc/quelm/                   README, copyright, changelog
# The package is reproducible: built twice from one commit it is the same
# bytes (packaging/cpack-project.cmake sets its file times).
set(QUELM_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)
set(QUELM_PACKAGING_OUT ${PROJECT_BINARY_DIR}/packaging)
set(QUELM_PACKAGE_MAINTAINER "quelm developers <quelm@users.noreply.example.org>"
    CACHE STRING "Maintainer named in the package and its changelog")
# The project's web site: the software centres' entry links it and takes the
# screenshots from it (docs/screenshots published under screenshots/).
set(QUELM_HOMEPAGE "https://quelm.example.org" CACHE STRING "The project's web site, without a final /")
# AppStream wants a reverse domain name for the entry's id: the site's.
string(REGEX REPLACE "^[a-z]+://([^/:]+).*$" "\\1" QUELM_HOMEPAGE_HOST "${QUELM_HOMEPAGE}")
string(REPLACE "." ";" QUELM_APPSTREAM_ID "${QUELM_HOMEPAGE_HOST}")
list(REVERSE QUELM_APPSTREAM_ID)
list(JOIN QUELM_APPSTREAM_ID "." QUELM_APPSTREAM_ID)
# The release's day, in the manual pages and the software centres' entry.
set(QUELM_RELEASE_DATE 2026-12-06)

# Installed directories get the usual modes whatever the umask.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# Debian keeps a game's programs in /usr/games, their manual pages in
# section 6: the package takes both programs from the "games" component,
# which a plain `cmake --install` leaves out; everything else is shared.
set(CMAKE_INSTALL_DEFAULT_COMPONENT_NAME common)
install(TARGETS quelm quelm-info RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT program)
install(TARGETS quelm quelm-info RUNTIME DESTINATION games COMPONENT games EXCLUDE_FROM_ALL)

if(QUELM_DATA AND NOT QUELM_FUZZ)
  # Only what the program reads: a messages.log left by ./demo.sh stays behind.
  install(DIRECTORY ${PROJECT_BINARY_DIR}/data/models ${PROJECT_BINARY_DIR}/data/sound
          DESTINATION ${CMAKE_INSTALL_DATADIR}/quelm)
  foreach(size 48 128 256)
    install(FILES ${PROJECT_BINARY_DIR}/icons/quelm-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME quelm.png)
  endforeach()
endif()

install(FILES ${QUELM_PACKAGING_DIR}/quelm.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
configure_file(${QUELM_PACKAGING_DIR}/quelm.metainfo.xml.in ${QUELM_PACKAGING_OUT}/quelm.metainfo.xml @ONLY)
install(FILES ${QUELM_PACKAGING_OUT}/quelm.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# Manual pages and the changelog, compressed as Debian wants them (gzip -n:
# no name or time stamp, so the same input gives the same bytes).
configure_file(${QUELM_PACKAGING_DIR}/quelm.6.in ${QUELM_PACKAGING_OUT}/quelm.6 @ONLY)
configure_file(${QUELM_PACKAGING_DIR}/quelm-info.6.in ${QUELM_PACKAGING_OUT}/quelm-info.6 @ONLY)
configure_file(${QUELM_PACKAGING_DIR}/changelog.in ${QUELM_PACKAGING_OUT}/changelog @ONLY)
set(QUELM_GZIPPED)
foreach(file quelm.6 quelm-info.6 changelog)
  add_custom_command(OUTPUT ${QUELM_PACKAGING_OUT}/${file}.gz
                     COMMAND sh -c "gzip -9 -n -c '${file}' > '${file}.gz'"
                     DEPENDS ${QUELM_PACKAGING_OUT}/${file}
                     WORKING_DIRECTORY ${QUELM_PACKAGING_OUT} VERBATIM)
  list(APPEND QUELM_GZIPPED ${QUELM_PACKAGING_OUT}/${file}.gz)
endforeach()
add_custom_target(packaging-docs ALL DEPENDS ${QUELM_GZIPPED})
install(FILES ${QUELM_PACKAGING_OUT}/quelm.6.gz ${QUELM_PACKAGING_OUT}/quelm-info.6.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${QUELM_PACKAGING_DIR}/copyright ${QUELM_PACKAGING_OUT}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_COMPONENTS_ALL common games)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)  # one package of both
set(CPACK_PACKAGE_NAME quelm)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${QUELM_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "real-time 3D demo with music")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "A title of 3D lettering flies in over a backdrop; the scene then loads
behind an animated loading screen, and two characters ride spline paths
over a terrain under a sky, casting stencil shadows and leaving fading
trails, while a camera flies past them. OpenGL 1.1 through freeglut, music
through SDL2_mixer; every model, texture and the music are made by the
project's own generator.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # quelm_VERSION_amd64.deb
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# Run by cpack itself: the file times from the commit (see there).
set(CPACK_QUELM_SOURCE_DIR ${PROJECT_SOURCE_DIR})
set(CPACK_PROJECT_CONFIG_FILE ${QUELM_PACKAGING_DIR}/cpack-project.cmake)
include(CPack)
