# Helpers shared by the layer and test folders.

# Lists the .cpp files of a folder for this platform: a file ending in
# _posix.cpp (or, for tests, _posix_test.cpp) is built on POSIX systems only,
# one ending in _win32.cpp (_win32_test.cpp) on Windows only; every other
# file everywhere.
function(custovia_sources out dir)
  file(GLOB srcs CONFIGURE_DEPENDS ${dir}/*.cpp)
  if(WIN32)
    list(FILTER srcs EXCLUDE REGEX "_posix(_test)?\\.cpp$")
  else()
    list(FILTER srcs EXCLUDE REGEX "_win32(_test)?\\.cpp$")
  endif()
  set(${out} ${srcs} PARENT_SCOPE)
endfunction()

# custovia_pch_donor(<name> LIBS <targets...> HEADERS <headers...>): an object
# library <name> that precompiles HEADERS with the usage requirements of LIBS,
# for targets of the same flags to reuse (REUSE_FROM). Only with g++ on POSIX
# and CUSTOVIA_PCH on; a target whose flags differ gets an "invalid
# precompiled header" warning and parses the headers itself.
function(custovia_pch_donor name)
  cmake_parse_arguments(P "" "" "LIBS;HEADERS" ${ARGN})
  if(NOT CUSTOVIA_PCH OR NOT CMAKE_CXX_COMPILER_ID STREQUAL "GNU" OR WIN32)
    return()
  endif()
  file(CONFIGURE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/${name}.cpp CONTENT "")
  add_library(${name} OBJECT ${CMAKE_CURRENT_BINARY_DIR}/${name}.cpp)
  target_link_libraries(${name} PRIVATE ${P_LIBS})
  target_precompile_headers(${name} PRIVATE ${P_HEADERS})
endfunction()

# custovia_code_pch(<targets...>): the targets reuse the precompiled Qt Core
# and standard headers of custovia_code_pch (src/CMakeLists.txt), when there
# is one.
function(custovia_code_pch)
  if(TARGET custovia_code_pch)
    foreach(target ${ARGN})
      target_precompile_headers(${target} REUSE_FROM custovia_code_pch)
    endforeach()
  endif()
endfunction()

# One static library per layer, linked into libcustovia.so and into tests.
function(custovia_layer name dir)
  cmake_parse_arguments(L "" "" "LIBS" ${ARGN})
  custovia_sources(srcs ${dir})
  if(NOT srcs)
    return()
  endif()
  add_library(${name} STATIC ${srcs})
  custovia_code_pch(${name})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_compile_definitions(${name} PUBLIC CUSTOVIA_BUILDING)
  target_link_libraries(${name} PUBLIC ${L_LIBS})
endfunction()

# The compile options of the tests' own code. The code under test keeps the
# build's optimisation; the tests, mostly assertion macros, compile a third
# quicker at -O1 with line tables.
function(custovia_test_options target)
  if(NOT CUSTOVIA_SANITIZE)
    target_compile_options(${target} PRIVATE -O1 -g1)
  endif()
endfunction()

# custovia_option_parsing(<files...>), from the folder whose targets build the
# files: files that include CLI11 compile at -O1 with line tables, the
# sanitizer build's at its own -O0. The header makes them the slowest files of
# the build at -O2 (some 12 s each), and the command line is parsed once.
function(custovia_option_parsing)
  if(NOT CUSTOVIA_SANITIZE)
    set_source_files_properties(${ARGN} PROPERTIES COMPILE_OPTIONS "-O1;-g1")
  endif()
endfunction()

# Each test source file becomes its own executable, registered with CTest.
# custovia_tests(<folder> LIBS <targets...> [LONG <file names...>])
# The tests of the files named after LONG (without .cpp) carry the label
# "long": they run for many seconds, and the sanitizer build, configured with
# CUSTOVIA_LONG_TESTS off, does not build them.
function(custovia_tests dir)
  cmake_parse_arguments(T "" "" "LIBS;LONG" ${ARGN})
  custovia_sources(srcs ${CMAKE_CURRENT_SOURCE_DIR}/${dir})
  foreach(src ${srcs})
    get_filename_component(base ${src} NAME_WE)
    if(base IN_LIST T_LONG AND NOT CUSTOVIA_LONG_TESTS)
      continue()
    endif()
    set(target ${dir}_${base})
    add_executable(${target} ${src})
    target_link_libraries(${target} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
    target_include_directories(${target} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
    custovia_test_options(${target})
    if(CUSTOVIA_HAVE_GOLD)
      target_link_options(${target} PRIVATE -fuse-ld=gold)
    endif()
    if(TARGET custovia_test_pch)
      target_precompile_headers(${target} REUSE_FROM custovia_test_pch)
    endif()
    if(WIN32)
      target_compile_options(${target} PRIVATE -include ${PROJECT_SOURCE_DIR}/tests/PosixEnv.h)
    endif()
    set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    set(props TIMEOUT 300)
    if(base IN_LIST T_LONG)
      list(APPEND props LABELS long)
    endif()
    if(CMAKE_CROSSCOMPILING)
      # Test programs for another system are listed when the tests run (under
      # an emulator), not while building.
      gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60 PROPERTIES ${props})
    else()
      gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60 PROPERTIES ${props})
    endif()
  endforeach()
endfunction()

# custovia_install_unit(<file>), from a program's CMakeLists.txt: a systemd
# unit into lib/systemd/system of the tools package (/usr/lib/systemd/system,
# where Debian looks). Not enabled: the administrator enables it.
function(custovia_install_unit file)
  install(FILES ${file} DESTINATION lib/systemd/system COMPONENT tools)
endfunction()
