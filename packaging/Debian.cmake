# Debian packages of the three install components, built with CPack
# (scripts/package). Dependencies on system libraries come from
# dpkg-shlibdeps; the library package carries a shlibs file and ldconfig
# triggers; every package has its copyright and changelog in
# /usr/share/doc/<package>/.
set(CUSTOVIA_MAINTAINER "The Custovia developers <developers@custovia.invalid>")
set(CUSTOVIA_DEB_RELEASE 1)
set(CUSTOVIA_DEB_VERSION ${PROJECT_VERSION}-${CUSTOVIA_DEB_RELEASE})
set(CUSTOVIA_DEB_FILES ${CMAKE_BINARY_DIR}/package/debian)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME custovia)
set(CPACK_PACKAGE_VENDOR "The Custovia developers")
set(CPACK_PACKAGE_CONTACT ${CUSTOVIA_MAINTAINER})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL lib dev tools)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${CUSTOVIA_DEB_RELEASE})
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The programs need libcustovia.so.<major> of the library package, which is
# not installed while packaging: dpkg-shlibdeps finds it in the build folder,
# and the package dependency comes from the component dependency.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR})
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)

set(CPACK_DEBIAN_LIB_PACKAGE_NAME ${CUSTOVIA_LIB_PACKAGE})
set(CPACK_DEBIAN_LIB_PACKAGE_SECTION libs)
set(CPACK_COMPONENT_LIB_DESCRIPTION "client library of the Custovia UPS monitoring product
Programs load libcustovia to reach the monitoring services of a Custovia
installation: they read every UPS unit's readings, state, countdowns, model
and settings, and send commands such as a manual shutdown or a battery test.")
# ldconfig runs from a trigger; the maintainer scripts given here keep CPack
# from writing ones that call it directly.
set(CPACK_DEBIAN_LIB_PACKAGE_CONTROL_EXTRA
    ${CUSTOVIA_DEB_FILES}/triggers ${CUSTOVIA_DEB_FILES}/postinst ${CUSTOVIA_DEB_FILES}/postrm)

set(CPACK_DEBIAN_DEV_PACKAGE_NAME libcustovia-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_DEV_DEPENDS lib)
# The CMake package finds Qt 5 Core, and the pkg-config file requires it.
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "qtbase5-dev (>= 5.15)")
set(CPACK_COMPONENT_DEV_DESCRIPTION "client library of the Custovia UPS monitoring product - development files
The headers of libcustovia, its CMake package (find_package(Custovia),
target Custovia::custovia) and its pkg-config file (custovia).")

set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME custovia)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION admin)
set(CPACK_COMPONENT_TOOLS_DEPENDS lib)
set(CPACK_COMPONENT_TOOLS_DESCRIPTION "command-line client and service simulator for Custovia UPS monitoring
custovia shows every UPS unit of one or more Custovia monitoring services,
live or as JSON, and sends their commands and settings. custovia-sim stands
in for a monitoring service with simulated units, faults and a control
interface.")

# The changelog's date and the copyright year are the last commit's, so a
# rebuild of the same sources writes the same files.
execute_process(COMMAND git log -1 --format=%aD
  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR} OUTPUT_VARIABLE changelog_date
  OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
if(NOT changelog_date)
  string(TIMESTAMP changelog_date "%a, %d %b %Y %H:%M:%S +0000" UTC)
endif()
string(REGEX MATCH "[0-9][0-9][0-9][0-9]" copyright_year "${changelog_date}")

# Per package: copyright (from LICENSE) and changelog.Debian.gz. Installed only
# for the packages (EXCLUDE_FROM_ALL), not by a plain cmake --install.
file(READ ${PROJECT_SOURCE_DIR}/LICENSE license)
string(REGEX REPLACE "^.*(Permission is hereby granted)" "\\1" license "${license}")
string(STRIP "${license}" license)
string(REPLACE "\n\n" "\n.\n" license "${license}")
string(REPLACE "\n" "\n " license "${license}")
file(WRITE ${CUSTOVIA_DEB_FILES}/copyright.new
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: custovia
Upstream-Contact: ${CUSTOVIA_MAINTAINER}

Files: *
Copyright: ${copyright_year} The Custovia developers
License: Expat
 ${license}
")
file(COPY_FILE ${CUSTOVIA_DEB_FILES}/copyright.new ${CUSTOVIA_DEB_FILES}/copyright ONLY_IF_DIFFERENT)

file(WRITE ${CUSTOVIA_DEB_FILES}/changelog.Debian
"custovia (${CUSTOVIA_DEB_VERSION}) unstable; urgency=medium

  * Release ${PROJECT_VERSION}, packaged from the project's own build.

 -- ${CUSTOVIA_MAINTAINER}  ${changelog_date}
")
execute_process(COMMAND gzip -9nf ${CUSTOVIA_DEB_FILES}/changelog.Debian)

file(WRITE ${CUSTOVIA_DEB_FILES}/triggers "activate-noawait ldconfig\n")
foreach(script postinst postrm)
  file(WRITE ${CUSTOVIA_DEB_FILES}/${script}
       "#!/bin/sh\n# The dynamic linker's cache is refreshed by the ldconfig trigger.\nset -e\n")
  file(CHMOD ${CUSTOVIA_DEB_FILES}/${script} FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
       GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
endforeach()

# The library package's maintainer scripts are empty on purpose (above).
file(WRITE ${CUSTOVIA_DEB_FILES}/lintian-overrides
"# ldconfig runs from the package's trigger; the scripts only keep the
# packaging tool from writing ones that call it directly.
${CUSTOVIA_LIB_PACKAGE}: maintainer-script-empty [postinst]
${CUSTOVIA_LIB_PACKAGE}: maintainer-script-empty [postrm]
")
install(FILES ${CUSTOVIA_DEB_FILES}/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
        RENAME ${CUSTOVIA_LIB_PACKAGE} COMPONENT lib EXCLUDE_FROM_ALL)

foreach(component lib dev tools)
  string(TOUPPER ${component} upper)
  install(FILES ${CUSTOVIA_DEB_FILES}/copyright ${CUSTOVIA_DEB_FILES}/changelog.Debian.gz
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${CPACK_DEBIAN_${upper}_PACKAGE_NAME}
          COMPONENT ${component} EXCLUDE_FROM_ALL)
endforeach()

include(CPack)
