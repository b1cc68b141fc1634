# Windows builds (mingw-w64): system header settings and the DLL's name and
# exports. Included from the top-level CMakeLists.txt on WIN32 only.

# Windows 7 and later; no min/max macros in the way of std::min and std::max.
add_compile_definitions(_WIN32_WINNT=0x0601 WINVER=0x0601 NOMINMAX)

# Called once every target exists.
function(custovia_windows_targets)
  if(TARGET custovia)
    # custovia.dll (and custovia.dll.a), not libcustovia.dll.
    set_target_properties(custovia PROPERTIES PREFIX "" IMPORT_PREFIX "")
    # A program using the DLL links its import library and Qt Core only: the
    # layers' static libraries would define every exported class a second
    # time, and their CUSTOVIA_BUILDING would turn the program's imports into
    # exports.
    set_property(TARGET custovia PROPERTY INTERFACE_LINK_LIBRARIES Qt5::Core Threads::Threads)
    # Every exported class goes into the DLL whole, also those whose code
    # the exported functions never call.
    set(layers)
    foreach(layer tkl custovia_config custovia_model custovia_monit)
      if(TARGET ${layer})
        list(APPEND layers $<TARGET_FILE:${layer}>)
      endif()
    endforeach()
    target_link_options(custovia PRIVATE -Wl,--whole-archive ${layers} -Wl,--no-whole-archive)
    # 32-bit __stdcall functions carry "@<argument bytes>" in their names; the
    # module definition exports each one under both its plain and that name.
    # 64-bit Windows has one calling convention and plain names only.
    if(CMAKE_SIZEOF_VOID_P EQUAL 4 AND EXISTS ${PROJECT_SOURCE_DIR}/src/client/custovia.def)
      target_sources(custovia PRIVATE ${PROJECT_SOURCE_DIR}/src/client/custovia.def)
    endif()
  endif()
endfunction()
