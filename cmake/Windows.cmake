# Windows builds (mingw-w64): system header settings and the DLL's name and
# exports. Included from the top-level CMakeLists.txt on WIN32 only.

# Windows 7 and later; no min/max macros in the way of std::min and std::max.
add_compile_definitions(_WIN32_WINNT=0x0601 WINVER=0x0601 NOMINMAX)

# Called once every target exists.
function(custovia_windows_targets)
  if(TARGET custovia)
    # custovia.dll (and custovia.dll.a), not libcustovia.dll.
    set_target_properties(custovia PROPERTIES PREFIX "" IMPORT_PREFIX "")
    # 32-bit __stdcall functions carry "@<argument bytes>" in their names; the
    # module definition exports each one under both its plain and that name.
    # 64-bit Windows has one calling convention and plain names only.
    if(CMAKE_SIZEOF_VOID_P EQUAL 4 AND EXISTS ${PROJECT_SOURCE_DIR}/src/client/custovia.def)
      target_sources(custovia PRIVATE ${PROJECT_SOURCE_DIR}/src/client/custovia.def)
    endif()
  endif()
endfunction()
