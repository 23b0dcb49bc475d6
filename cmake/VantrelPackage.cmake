# The two Debian packages, built by CPack from the install components (see
# VantrelInstall.cmake); scripts/package.sh is the way to run it.

# The project has no public home yet: these placeholders name it in the
# package metadata and the AppStream file until it does.
set(VANTREL_HOMEPAGE "https://vantrel.example/" CACHE STRING "Project home page, shown in the package metadata")
set(VANTREL_MAINTAINER "Vantrel developers <packages@vantrel.example>" CACHE STRING
    "Maintainer of the Debian packages: a name and an e-mail address")

# The permission helper for ports below 1024, the one file that gets a capability (postinst).
set(VANTREL_BIND_HELPER ${CMAKE_INSTALL_FULL_LIBEXECDIR}/vantrel/vantrel-bind)

configure_file(${VANTREL_PACKAGING_DIR}/${VANTREL_APP_ID}.metainfo.xml.in
  ${VANTREL_GENERATED_DIR}/${VANTREL_APP_ID}.metainfo.xml @ONLY)
foreach(script vantrel/postinst vantrel-site/postinst vantrel-site/prerm vantrel-site/postrm vantrel-site/conffiles)
  configure_file(${VANTREL_PACKAGING_DIR}/debian/${script}
    ${VANTREL_GENERATED_DIR}/debian/${script} @ONLY FILE_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vantrel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${VANTREL_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL vantrel vantrel-site)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${VANTREL_HOMEPAGE}")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Folders the packages create get the usual 0755 whatever the build's umask.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_VANTREL_PACKAGE_NAME vantrel)
set(CPACK_DEBIAN_VANTREL_PACKAGE_SECTION net)
# The window needs the display plugins, which no library link names.
set(app_depends "qt6-qpa-plugins")
if(TARGET vantrel-bind)
  string(APPEND app_depends ", libcap2-bin")
endif()
set(CPACK_DEBIAN_VANTREL_PACKAGE_DEPENDS "${app_depends}")
set(CPACK_DEBIAN_VANTREL_PACKAGE_RECOMMENDS "fonts-dejavu-core")
set(CPACK_DEBIAN_VANTREL_PACKAGE_CONTROL_EXTRA ${VANTREL_GENERATED_DIR}/debian/vantrel/postinst)
set(CPACK_DEBIAN_VANTREL_DESCRIPTION "check whether the router forwards TCP and UDP ports
Vantrel tests, port by port, whether a home router really forwards a TCP
or UDP port to this computer. It listens on each port of the user's list,
asks a test site to reach the public address on that port, and marks each
row Success or Failed by whether anything arrived.
.
The package holds the desktop program and its translations.")

set(CPACK_DEBIAN_VANTREL-SITE_PACKAGE_NAME vantrel-site)
set(CPACK_DEBIAN_VANTREL-SITE_PACKAGE_SECTION net)
set(CPACK_DEBIAN_VANTREL-SITE_PACKAGE_SUGGESTS "nginx")
set(CPACK_DEBIAN_VANTREL-SITE_PACKAGE_CONTROL_EXTRA
  ${VANTREL_GENERATED_DIR}/debian/vantrel-site/conffiles
  ${VANTREL_GENERATED_DIR}/debian/vantrel-site/postinst
  ${VANTREL_GENERATED_DIR}/debian/vantrel-site/prerm
  ${VANTREL_GENERATED_DIR}/debian/vantrel-site/postrm)
set(CPACK_DEBIAN_VANTREL-SITE_DESCRIPTION "test site for the Vantrel port forwarding check
The server that Vantrel's port test talks to: it serves the test pages and,
for each port a visitor submits, tries to reach that port on the visitor's
own address and reports whether it answered. Every visitor is rate limited
and the number of probes at once is capped.
.
The package holds the server, a systemd unit and an instance template
(one instance per port) with a hardened sandbox, and its options in
/etc/default/vantrel-site.")

include(CPack)
