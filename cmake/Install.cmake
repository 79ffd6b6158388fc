# What `cmake --install` puts where, and the Debian package CPack makes of it.
#
# The component libraries live in a private folder (LIBDIR/mirelda): they are loaded by the path
# that the registration store records, not found by the system's loader, and only the automation
# runtime is linked by other programs. Binaries find them through a RUNPATH relative to themselves,
# so an installed tree works wherever it is unpacked.

set(MIRELDA_LIBRARY_DIR ${CMAKE_INSTALL_LIBDIR}/mirelda)
set(MIRELDA_DATA_DIR ${CMAKE_INSTALL_DATADIR}/mirelda)
set(MIRELDA_CONFIG_DIR ${CMAKE_INSTALL_FULL_SYSCONFDIR}/mirelda)
set(MIRELDA_STATE_DIR ${CMAKE_INSTALL_FULL_LOCALSTATEDIR}/lib/mirelda)
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  set(MIRELDA_UNIT_DIR /lib/systemd/system)
else()
  set(MIRELDA_UNIT_DIR ${CMAKE_INSTALL_PREFIX}/lib/systemd/system)
endif()

file(RELATIVE_PATH bin_to_libraries ${CMAKE_INSTALL_FULL_BINDIR}
     ${CMAKE_INSTALL_PREFIX}/${MIRELDA_LIBRARY_DIR})
set_target_properties(mirelda-host mirelda-regsvr mirelda-import-mdb PROPERTIES
  INSTALL_RPATH "$ORIGIN/${bin_to_libraries}")
# Only the automation runtime is linked by programs, so only it carries a SONAME and version. The
# component libraries are modules loaded by the path the registration store records: that path
# stays the same across upgrades, and the store never names a file an upgrade removes.
set_target_properties(mirelda mirelda-data PROPERTIES INSTALL_RPATH "$ORIGIN")
set_target_properties(mirelda-automation PROPERTIES
  INSTALL_RPATH "$ORIGIN"
  EXPORT_NAME automation
  VERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}
  SOVERSION ${PROJECT_VERSION_MAJOR})

install(TARGETS mirelda-host mirelda-regsvr mirelda-import-mdb RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS mirelda mirelda-data LIBRARY DESTINATION ${MIRELDA_LIBRARY_DIR})
install(TARGETS mirelda-automation EXPORT MireldaTargets
  LIBRARY DESTINATION ${MIRELDA_LIBRARY_DIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY include/mirelda ${PROJECT_BINARY_DIR}/generated/mirelda
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

# find_package(Mirelda) gives Mirelda::automation; pkg-config gives the same library.
include(CMakePackageConfigHelpers)
set(package_dir ${CMAKE_INSTALL_LIBDIR}/cmake/Mirelda)
install(EXPORT MireldaTargets NAMESPACE Mirelda:: DESTINATION ${package_dir})
configure_package_config_file(packaging/MireldaConfig.cmake.in
  ${PROJECT_BINARY_DIR}/packaging/MireldaConfig.cmake INSTALL_DESTINATION ${package_dir})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/packaging/MireldaConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/packaging/MireldaConfig.cmake
  ${PROJECT_BINARY_DIR}/packaging/MireldaConfigVersion.cmake DESTINATION ${package_dir})
configure_file(packaging/mirelda.pc.in ${PROJECT_BINARY_DIR}/packaging/mirelda.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/packaging/mirelda.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

install(FILES man/mirelda-host.1 man/mirelda-regsvr.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(DIRECTORY site/ DESTINATION ${MIRELDA_DATA_DIR}/site)

# The service: a config file naming the installed site, data folder and registration store, and
# the systemd unit that runs the host on it. The example is also kept under share/ so that a
# changed /etc file can be compared with the shipped one.
configure_file(packaging/host.conf.in ${PROJECT_BINARY_DIR}/packaging/host.conf @ONLY)
configure_file(packaging/mirelda-host.service.in
  ${PROJECT_BINARY_DIR}/packaging/mirelda-host.service @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/packaging/host.conf DESTINATION ${MIRELDA_CONFIG_DIR})
install(FILES ${PROJECT_BINARY_DIR}/packaging/host.conf
  DESTINATION ${MIRELDA_DATA_DIR}/examples)
install(FILES ${PROJECT_BINARY_DIR}/packaging/mirelda-host.service
  DESTINATION ${MIRELDA_UNIT_DIR})

foreach(script postinst prerm postrm)
  configure_file(packaging/debian/${script}.in ${PROJECT_BINARY_DIR}/packaging/debian/${script}
    @ONLY FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
    WORLD_READ WORLD_EXECUTE)
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME mirelda)
set(CPACK_PACKAGE_VERSION
  ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH})
set(CPACK_PACKAGE_CONTACT "Mirelda developers <mirelda@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "server-side web-page components and the page host that runs them")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "adduser")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
  ${PROJECT_SOURCE_DIR}/packaging/debian/conffiles
  ${PROJECT_BINARY_DIR}/packaging/debian/postinst
  ${PROJECT_BINARY_DIR}/packaging/debian/prerm
  ${PROJECT_BINARY_DIR}/packaging/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
