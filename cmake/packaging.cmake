# What `cmake --install` puts where, and the two Debian packages CPack makes of it:
#   tavrin-config  the window, the CLI, icon, desktop entry, metainfo, man pages,
#                  bash completion
#   tavrin-lab     conmon-server, device-sim and the lab script as tavrin-lab
include(GNUInstallDirs)

set(pkg_gen ${PROJECT_BINARY_DIR}/package-files)
file(MAKE_DIRECTORY ${pkg_gen})

# Programs.
foreach(target tavrin-config tavrin-cli)
  if(TARGET ${target})
    install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT config)
  endif()
endforeach()
foreach(target conmon-server device-sim)
  if(TARGET ${target})
    install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_LIBDIR}/tavrin-lab COMPONENT lab)
  endif()
endforeach()
install(PROGRAMS ${PROJECT_SOURCE_DIR}/scripts/lab DESTINATION ${CMAKE_INSTALL_BINDIR}
        RENAME tavrin-lab COMPONENT lab)

# Desktop integration.
install(FILES ${PROJECT_SOURCE_DIR}/resources/desktop/se.varnoll.tavrin-config.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT config)
configure_file(${PROJECT_SOURCE_DIR}/resources/desktop/se.varnoll.tavrin-config.metainfo.xml
               ${pkg_gen}/se.varnoll.tavrin-config.metainfo.xml @ONLY)
install(FILES ${pkg_gen}/se.varnoll.tavrin-config.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT config)
install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/tavrin-config.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT config)
foreach(size 16 24 32 48 64 128 256)
  install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/tavrin-config-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME tavrin-config.png COMPONENT config)
endforeach()

# Man pages and the Debian changelogs, compressed the way Debian wants them (-9n: no
# name, no time stamp, so the packages are reproducible).
find_program(GZIP_PROGRAM gzip)
function(tavrin_gzip source output)
  add_custom_command(OUTPUT ${output}
    COMMAND ${GZIP_PROGRAM} -9n -c ${source} > ${output}
    DEPENDS ${source} VERBATIM)
endfunction()
set(packaged_docs)
foreach(page tavrin-config tavrin-cli tavrin-lab)
  # The page's header names the version of the version record.
  configure_file(${PROJECT_SOURCE_DIR}/resources/man/${page}.1 ${pkg_gen}/${page}.1 @ONLY)
  tavrin_gzip(${pkg_gen}/${page}.1 ${pkg_gen}/${page}.1.gz)
  list(APPEND packaged_docs ${pkg_gen}/${page}.1.gz)
endforeach()
install(FILES ${pkg_gen}/tavrin-config.1.gz ${pkg_gen}/tavrin-cli.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT config)
install(FILES ${pkg_gen}/tavrin-lab.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT lab)
foreach(pkg tavrin-config tavrin-lab)
  configure_file(${PROJECT_SOURCE_DIR}/resources/debian/changelog.in ${pkg_gen}/${pkg}.changelog @ONLY)
  tavrin_gzip(${pkg_gen}/${pkg}.changelog ${pkg_gen}/${pkg}.changelog.gz)
  list(APPEND packaged_docs ${pkg_gen}/${pkg}.changelog.gz)
endforeach()
install(FILES ${pkg_gen}/tavrin-config.changelog.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tavrin-config
        RENAME changelog.gz COMPONENT config)
install(FILES ${pkg_gen}/tavrin-lab.changelog.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tavrin-lab
        RENAME changelog.gz COMPONENT lab)
install(FILES ${PROJECT_SOURCE_DIR}/resources/debian/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tavrin-config COMPONENT config)
install(FILES ${PROJECT_SOURCE_DIR}/resources/debian/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tavrin-lab COMPONENT lab)

# Bash completion, written by tavrin-cli itself so it always knows every command and
# setting name.
if(TARGET tavrin-cli)
  add_custom_command(OUTPUT ${pkg_gen}/tavrin-cli.bash-completion
    COMMAND tavrin-cli --bash-completion > ${pkg_gen}/tavrin-cli.bash-completion
    DEPENDS tavrin-cli VERBATIM)
  list(APPEND packaged_docs ${pkg_gen}/tavrin-cli.bash-completion)
  install(FILES ${pkg_gen}/tavrin-cli.bash-completion
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
          RENAME tavrin-cli COMPONENT config)
endif()
add_custom_target(package_files ALL DEPENDS ${packaged_docs})

# The packages.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tavrin)
set(CPACK_PACKAGE_VENDOR "Varnoll AB")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Varnoll AB <support@varnoll.se>")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL config lab)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Varnoll AB <support@varnoll.se>")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://varnoll.se/tavrin")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)

set(CPACK_DEBIAN_CONFIG_PACKAGE_NAME tavrin-config)
set(CPACK_DEBIAN_CONFIG_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_CONFIG_PACKAGE_DEPENDS "avahi-daemon")
# CPack indents the lines after the first and turns an empty line into " .".
set(CPACK_COMPONENT_CONFIG_DESCRIPTION
    "configuration tool for TAVRIN-PA22 Dante network amplifiers
TAVRIN-PA22 Config Tool finds TAVRIN-PA22 two-channel Dante network power
amplifiers on the local network, connects to one and reads and changes all of
its settings: volume and routing, input gain and limiter, parametric
equaliser and filters with drawn responses, power class and limits, name and
location. It keeps presets and updates the amplifier's firmware.

tavrin-cli drives the same core without a window, for scripts that
commission many amplifiers at once.")

set(CPACK_DEBIAN_LAB_PACKAGE_NAME tavrin-lab)
set(CPACK_DEBIAN_LAB_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_LAB_PACKAGE_DEPENDS "avahi-daemon, dbus, iproute2")
set(CPACK_COMPONENT_LAB_DESCRIPTION
    "virtual TAVRIN-PA22 amplifiers in a private network namespace
The lab that tavrin-config and tavrin-cli are tested against: a ConMon
server and virtual Dante devices (TAVRIN-PA22 amplifiers among them) that
advertise themselves over DNS-SD, answer routing requests and speak the
amplifier's protocol, all inside a network namespace of their own with a
private D-Bus and Avahi daemon. tavrin-lab up, exec, ctl, status and down.")

include(CPack)
