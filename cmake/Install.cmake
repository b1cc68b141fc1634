# Install rules, the CMake and pkg-config packages, manual pages, shell
# completion and the Debian packages. Included from the top-level
# CMakeLists.txt once every target exists (POSIX builds).
#
# Three components, one Debian package each:
#   lib    libcustovia.so.<major> and its versions          -> libcustovia<major>
#   dev    headers, the .so link, CMake and pkg-config files -> libcustovia-dev
#   tools  the programs, their manual pages, completion      -> custovia

# Libraries go into the multiarch folder (lib/x86_64-linux-gnu) on Debian for
# any prefix, where the dynamic linker, pkg-config and find_package look by
# default; GNUInstallDirs would pick it for /usr only. A folder given with
# -DCMAKE_INSTALL_LIBDIR stays.
if(CMAKE_LIBRARY_ARCHITECTURE)
  get_property(libdir_help CACHE CMAKE_INSTALL_LIBDIR PROPERTY HELPSTRING)
  if(NOT DEFINED CACHE{CMAKE_INSTALL_LIBDIR}
     OR (CMAKE_INSTALL_LIBDIR STREQUAL "lib" AND libdir_help MATCHES "^Object code libraries"))
    set(CMAKE_INSTALL_LIBDIR lib/${CMAKE_LIBRARY_ARCHITECTURE} CACHE PATH
        "Object code libraries (LIBDIR), multiarch" FORCE)
  endif()
endif()
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)
# Installing (and CPack) takes what is built and builds nothing itself, not
# every test: scripts/package builds the target custovia_installable first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(CUSTOVIA_LIB_PACKAGE libcustovia${PROJECT_VERSION_MAJOR})
set(CUSTOVIA_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Custovia)
set(CUSTOVIA_INCLUDE_DIR ${CMAKE_INSTALL_INCLUDEDIR}/custovia)
set(CUSTOVIA_PACKAGE_FILES ${CMAKE_BINARY_DIR}/package)

# Builds everything the install rules take (scripts/package builds only this).
add_custom_target(custovia_installable)

# --- public headers -----------------------------------------------------------
# custovia_public_headers(<out> <header>...): the given headers and every
# project header they include, directly or not, as paths below src/. Quoted
# includes are looked up beside the including header, then below src/; a
# quoted include found in neither place stops the configuration, since the
# installed tree would lack it. Each header read becomes a configure
# dependency, so a new include is picked up by the next build.
function(custovia_public_headers out)
  set(root ${PROJECT_SOURCE_DIR}/src)
  set(todo ${ARGN})
  set(found)
  while(todo)
    list(POP_FRONT todo header)
    if(header IN_LIST found)
      continue()
    endif()
    list(APPEND found ${header})
    set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${root}/${header})
    get_filename_component(dir ${header} DIRECTORY)
    file(STRINGS ${root}/${header} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
    foreach(line IN LISTS lines)
      if(NOT line MATCHES "#[ \t]*include[ \t]*([<\"])([^>\"]+)[>\"]")
        continue()
      endif()
      set(quote ${CMAKE_MATCH_1})
      set(name ${CMAKE_MATCH_2})
      if(quote STREQUAL "\"" AND EXISTS ${root}/${dir}/${name})
        cmake_path(SET included NORMALIZE "${dir}/${name}")
      elseif(EXISTS ${root}/${name} AND NOT IS_DIRECTORY ${root}/${name})
        set(included ${name})
      elseif(quote STREQUAL "\"")
        message(FATAL_ERROR "public header ${header} includes \"${name}\", which is not below src/")
      else()
        continue()  # a system or Qt header
      endif()
      list(APPEND todo ${included})
    endforeach()
  endwhile()
  list(SORT found)
  set(${out} ${found} PARENT_SCOPE)
endfunction()

set(public_roots client/custovia.h)
if(EXISTS ${PROJECT_SOURCE_DIR}/src/client/custovia_ext.h)
  list(APPEND public_roots client/custovia_ext.h)
endif()
custovia_public_headers(CUSTOVIA_PUBLIC_HEADERS ${public_roots})
foreach(header IN LISTS CUSTOVIA_PUBLIC_HEADERS)
  get_filename_component(dir ${header} DIRECTORY)
  install(FILES ${PROJECT_SOURCE_DIR}/src/${header} DESTINATION ${CUSTOVIA_INCLUDE_DIR}/${dir}
          COMPONENT dev)
endforeach()

# --- the library ----------------------------------------------------------------
# The SONAME carries the major version: the records cross the boundary as C++
# objects, so a new major version is a new binary interface.
set_target_properties(custovia PROPERTIES VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR})
install(TARGETS custovia EXPORT CustoviaTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT lib NAMELINK_COMPONENT dev
        INCLUDES DESTINATION ${CUSTOVIA_INCLUDE_DIR})
add_dependencies(custovia_installable custovia)

# CMake package: find_package(Custovia 8.9) gives Custovia::custovia.
install(EXPORT CustoviaTargets NAMESPACE Custovia:: DESTINATION ${CUSTOVIA_CMAKE_DIR} COMPONENT dev)
configure_package_config_file(${PROJECT_SOURCE_DIR}/packaging/CustoviaConfig.cmake.in
  ${CUSTOVIA_PACKAGE_FILES}/CustoviaConfig.cmake INSTALL_DESTINATION ${CUSTOVIA_CMAKE_DIR})
write_basic_package_version_file(${CUSTOVIA_PACKAGE_FILES}/CustoviaConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CUSTOVIA_PACKAGE_FILES}/CustoviaConfig.cmake
              ${CUSTOVIA_PACKAGE_FILES}/CustoviaConfigVersion.cmake
        DESTINATION ${CUSTOVIA_CMAKE_DIR} COMPONENT dev)

# pkg-config: the prefix is found from the file's own place, so the installed
# tree can move.
file(RELATIVE_PATH CUSTOVIA_PC_TO_PREFIX /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
configure_file(${PROJECT_SOURCE_DIR}/packaging/custovia.pc.in ${CUSTOVIA_PACKAGE_FILES}/custovia.pc @ONLY)
install(FILES ${CUSTOVIA_PACKAGE_FILES}/custovia.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
        COMPONENT dev)

# --- programs and their manual pages ----------------------------------------------------
# Manual pages are written from each program's --help at build time (help2man;
# cmake/ManPage.cmake), so they say what the program says. Not when
# cross-compiling: the programs cannot run here.
find_program(HELP2MAN help2man)
if(NOT HELP2MAN AND NOT CMAKE_CROSSCOMPILING)
  message(WARNING "help2man not found: no manual pages (scripts/install-deps installs it)")
endif()

# custovia_install_program(<target>): the program into bin/ and its manual
# page into man1/, both in the tools package.
function(custovia_install_program target)
  install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tools)
  add_dependencies(custovia_installable ${target})
  if(NOT HELP2MAN OR CMAKE_CROSSCOMPILING)
    return()
  endif()
  get_target_property(name ${target} OUTPUT_NAME)
  if(NOT name)
    set(name ${target})
  endif()
  set(page ${CMAKE_BINARY_DIR}/man/${name}.1.gz)
  add_custom_command(OUTPUT ${page}
    COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:${target}> -DPAGE=${page}
            -DVERSION=${PROJECT_VERSION} -DHELP2MAN=${HELP2MAN}
            -P ${PROJECT_SOURCE_DIR}/cmake/ManPage.cmake
    DEPENDS ${target} ${PROJECT_SOURCE_DIR}/cmake/ManPage.cmake
    COMMENT "Manual page ${name}.1" VERBATIM)
  add_custom_target(${target}_man ALL DEPENDS ${page})
  add_dependencies(custovia_installable ${target}_man)
  install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tools)
endfunction()

# Every program under tools/ that exists in this build. (A systemd unit of a
# program: custovia_install_unit() in cmake/Custovia.cmake.)
foreach(program custovia_cli custovia-sim custovia-serve)
  if(TARGET ${program})
    custovia_install_program(${program})
  endif()
endforeach()

if(TARGET custovia_cli)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/custovia.bash-completion
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME custovia
          COMPONENT tools)
endif()
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE
        DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT tools)

include(${PROJECT_SOURCE_DIR}/packaging/Debian.cmake)
