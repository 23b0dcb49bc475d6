# What `cmake --install` lays out, in two components that become the two
# Debian packages: "vantrel" (the desktop program, its helpers, language files,
# desktop entry, icons, metainfo, man pages) and "vantrel-site" (the test site
# as a system service). Sanitizer and fuzz builds are never installed.
if(VANTREL_SANITIZE OR VANTREL_FUZZ)
  return()
endif()

include(GNUInstallDirs)

set(VANTREL_APP_ID net.vantrel.Vantrel)
# Programs that only other programs start: the permission helper lives here,
# and the package's postinst names this path when it sets the capability.
set(VANTREL_LIBEXEC_DIR ${CMAKE_INSTALL_LIBEXECDIR}/vantrel)
# Debian 12 keeps unit files under /lib, not /usr/lib.
set(VANTREL_SYSTEMD_UNIT_DIR /lib/systemd/system CACHE PATH "Where the site's systemd units are installed")
set(VANTREL_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)
set(VANTREL_GENERATED_DIR ${CMAKE_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${VANTREL_GENERATED_DIR})

find_program(VANTREL_GZIP gzip REQUIRED)
find_program(VANTREL_HELP2MAN help2man)

# gzip -9n: the compression Debian expects for man pages and changelogs, and
# no time stamp, so the same source gives the same package.
function(vantrel_gzip source output)
  add_custom_command(OUTPUT ${output}
    COMMAND ${VANTREL_GZIP} -9nc ${source} > ${output}
    DEPENDS ${source} VERBATIM)
endfunction()

# --- the desktop program ------------------------------------------------------
install(TARGETS vantrel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT vantrel)
if(TARGET vantrel-check)
  install(TARGETS vantrel-check RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT vantrel)
endif()
if(TARGET vantrel-bind)
  install(TARGETS vantrel-bind RUNTIME DESTINATION ${VANTREL_LIBEXEC_DIR} COMPONENT vantrel)
  # A plain `cmake --install` as root grants the helper its one capability; a
  # staged install (DESTDIR, the packages) leaves that to the package's postinst.
  install(CODE "
    set(helper \"${CMAKE_INSTALL_FULL_LIBEXECDIR}/vantrel/vantrel-bind\")
    execute_process(COMMAND id -u OUTPUT_VARIABLE uid OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(uid STREQUAL \"0\" AND \"\$ENV{DESTDIR}\" STREQUAL \"\")
      find_program(SETCAP setcap PATHS /usr/sbin /sbin)
      if(SETCAP)
        execute_process(COMMAND \${SETCAP} cap_net_bind_service=+ep \${helper} RESULT_VARIABLE failed)
        if(failed)
          message(WARNING \"setcap failed on \${helper}: ports below 1024 will need permission\")
        endif()
      else()
        message(WARNING \"setcap not found (Debian package libcap2-bin); ports below 1024 need: \"
                        \"setcap cap_net_bind_service=+ep \${helper}\")
      endif()
    endif()
  " COMPONENT vantrel)
endif()
install(DIRECTORY ${PROJECT_SOURCE_DIR}/Languages DESTINATION ${CMAKE_INSTALL_DATADIR}/vantrel
  COMPONENT vantrel FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
install(FILES ${VANTREL_PACKAGING_DIR}/${VANTREL_APP_ID}.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT vantrel)
install(FILES ${VANTREL_GENERATED_DIR}/${VANTREL_APP_ID}.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT vantrel)

# The icon is the emblem's disc, drawn at each size the desktops look for.
set(VANTREL_ICON_SIZES 16 24 32 48 64 128 256 512)
set(icon_files "")
foreach(side IN LISTS VANTREL_ICON_SIZES)
  set(icon ${VANTREL_GENERATED_DIR}/icons/${side}/vantrel.png)
  add_custom_command(OUTPUT ${icon}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${VANTREL_GENERATED_DIR}/icons/${side}
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen $<TARGET_FILE:vantrel-emblem> --icon ${icon} ${side}
    DEPENDS vantrel-emblem VERBATIM)
  list(APPEND icon_files ${icon})
  install(FILES ${icon} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${side}x${side}/apps
    COMPONENT vantrel)
endforeach()

# Man pages: the desktop program's is written by hand; the command-line
# programs' come from their own --help, so they never disagree with it.
set(man_files "")
vantrel_gzip(${VANTREL_PACKAGING_DIR}/man/vantrel.1 ${VANTREL_GENERATED_DIR}/vantrel.1.gz)
list(APPEND man_files ${VANTREL_GENERATED_DIR}/vantrel.1.gz)
install(FILES ${VANTREL_GENERATED_DIR}/vantrel.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT vantrel)

function(vantrel_help2man target component description)
  if(NOT VANTREL_HELP2MAN)
    # A build for work needs no man pages; scripts/package.sh installs help2man first.
    message(WARNING "help2man is missing (scripts/packages.txt): no man page for ${target}")
    return()
  endif()
  set(page ${VANTREL_GENERATED_DIR}/${target}.1)
  set(extra ${VANTREL_PACKAGING_DIR}/man/${target}.h2m)
  set(include_args "")
  set(extra_depends "")
  if(EXISTS ${extra})
    set(include_args --include=${extra})
    set(extra_depends ${extra})
  endif()
  add_custom_command(OUTPUT ${page}
    # Started by name from PATH, so the page shows the name and not the build folder.
    COMMAND ${CMAKE_COMMAND} -E env "PATH=$<TARGET_FILE_DIR:${target}>:$ENV{PATH}"
            ${VANTREL_HELP2MAN} --no-info --section=1 --version-string=${PROJECT_VERSION}
            --name=${description} ${include_args} --output=${page} ${target}
    DEPENDS ${target} ${extra_depends} VERBATIM)
  vantrel_gzip(${page} ${page}.gz)
  install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT ${component})
  set(man_files ${man_files} ${page}.gz PARENT_SCOPE)
endfunction()

if(TARGET vantrel-check)
  vantrel_help2man(vantrel-check vantrel "test port forwarding from a terminal")
endif()
vantrel_help2man(vantrel-site vantrel-site "the Vantrel test site")

# --- the site as a service ----------------------------------------------------
install(TARGETS vantrel-site RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT vantrel-site)
install(FILES ${PROJECT_SOURCE_DIR}/deploy/systemd/vantrel-site.service
              ${PROJECT_SOURCE_DIR}/deploy/systemd/vantrel-site@.service
  DESTINATION ${VANTREL_SYSTEMD_UNIT_DIR} COMPONENT vantrel-site)
install(FILES ${PROJECT_SOURCE_DIR}/deploy/README.md
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vantrel-site RENAME README.deploy.md COMPONENT vantrel-site)
install(FILES ${PROJECT_SOURCE_DIR}/deploy/nginx/vantrel-site.conf
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vantrel-site/examples/nginx COMPONENT vantrel-site)
install(FILES ${PROJECT_SOURCE_DIR}/deploy/systemd/vantrel-site.default
  DESTINATION ${CMAKE_INSTALL_FULL_SYSCONFDIR}/default RENAME vantrel-site COMPONENT vantrel-site)

# --- both: copyright and changelog ----------------------------------------------
set(doc_files "")
vantrel_gzip(${VANTREL_PACKAGING_DIR}/debian/changelog ${VANTREL_GENERATED_DIR}/changelog.gz)
foreach(component vantrel vantrel-site)
  install(FILES ${VANTREL_PACKAGING_DIR}/debian/copyright ${VANTREL_GENERATED_DIR}/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${component} COMPONENT ${component})
endforeach()

add_custom_target(vantrel_install_files ALL
  DEPENDS ${icon_files} ${man_files} ${VANTREL_GENERATED_DIR}/changelog.gz)

include(cmake/VantrelPackage.cmake)
