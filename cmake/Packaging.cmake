# Installation and the Debian package (cmake --build --preset release
# --target package): the programs in /usr/bin, the desktop entry and icon,
# man pages, the systemd unit with its start script and system user, and the
# package's documentation. Programs that this tree does not build (yet) are
# left out, so the package always builds with what exists.
include(GNUInstallDirs)

set(TOLVANA_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)

foreach(program tolvana tolvana-decode postrun tolvana-testsignal)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

# The desktop program's menu entry and icon, with the program.
if(TARGET tolvana)
  install(FILES ${TOLVANA_PACKAGING_DIR}/tolvana.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${TOLVANA_PACKAGING_DIR}/tolvana.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endif()

# Debian wants man pages and changelogs compressed with gzip -9n (no name,
# no time stamp, so the package builds the same every time).
set(TOLVANA_GZ_DIR ${CMAKE_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${TOLVANA_GZ_DIR})
set(TOLVANA_GZ_FILES)
foreach(page tolvana tolvana-decode postrun tolvana-testsignal)
  set(out ${TOLVANA_GZ_DIR}/${page}.1.gz)
  add_custom_command(OUTPUT ${out}
    COMMAND gzip -9nc ${TOLVANA_PACKAGING_DIR}/man/${page}.1 > ${out}
    DEPENDS ${TOLVANA_PACKAGING_DIR}/man/${page}.1 VERBATIM)
  list(APPEND TOLVANA_GZ_FILES ${out})
  if(TARGET ${page})
    install(FILES ${out} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endif()
endforeach()
add_custom_command(OUTPUT ${TOLVANA_GZ_DIR}/changelog.gz
  COMMAND gzip -9nc ${TOLVANA_PACKAGING_DIR}/changelog > ${TOLVANA_GZ_DIR}/changelog.gz
  DEPENDS ${TOLVANA_PACKAGING_DIR}/changelog VERBATIM)
list(APPEND TOLVANA_GZ_FILES ${TOLVANA_GZ_DIR}/changelog.gz)
add_custom_target(tolvana_packaging_files ALL DEPENDS ${TOLVANA_GZ_FILES})
install(FILES ${TOLVANA_GZ_DIR}/changelog.gz ${TOLVANA_PACKAGING_DIR}/copyright
  DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The unattended service: not enabled by the package.
install(FILES ${TOLVANA_PACKAGING_DIR}/tolvana.service
  DESTINATION lib/systemd/system)
install(FILES ${TOLVANA_PACKAGING_DIR}/tolvana.sysusers
  DESTINATION lib/sysusers.d RENAME tolvana.conf)
install(PROGRAMS ${TOLVANA_PACKAGING_DIR}/tolvana-service
  DESTINATION lib/tolvana)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tolvana)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "tolvana developers")
set(CPACK_PACKAGE_CONTACT "tolvana developers <tolvana@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "monitor for German BOS radio traffic (FMS, ZVEI, POCSAG)")
# The extended description; CPack puts the summary above it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"tolvana decodes FMS status telegrams, ZVEI five-tone calls and POCSAG
pager messages from one or two radio receivers on the sound card, or
from recordings and SDR pipelines. Receptions are shown in grids and on
a vehicle status board, written to daily logs, and passed on over TCP,
to an MQTT broker, to a program of the user's and as an HTML page.
.
The package holds the desktop program tolvana, the headless monitor
tolvana-decode with a systemd unit for unattended use (not enabled),
and the test signal generator tolvana-testsignal.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION hamradio)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The maintainer scripts create the system user with systemd-sysusers, or
# with adduser where systemd is not the init system.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "adduser")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "mosquitto, pipewire-pulse | pulseaudio")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
  ${TOLVANA_PACKAGING_DIR}/postinst
  ${TOLVANA_PACKAGING_DIR}/prerm
  ${TOLVANA_PACKAGING_DIR}/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
