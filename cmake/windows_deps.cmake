# What the Windows cross-build takes from Debian's own packages. CLI11 and nlohmann-json
# are header-only, but their CMake packages point at /usr/include, whose C library
# headers must not reach the mingw compiler: the two header folders are linked into an
# include root of their own instead.
function(quaylink_header_only_deps)
  if(TARGET CLI11::CLI11)
    return()
  endif()
  set(root ${PROJECT_BINARY_DIR}/header-only)
  file(MAKE_DIRECTORY ${root})
  foreach(dir CLI nlohmann)
    if(NOT EXISTS /usr/include/${dir})
      message(FATAL_ERROR "/usr/include/${dir} is missing: install libcli11-dev and nlohmann-json3-dev")
    endif()
    file(CREATE_LINK /usr/include/${dir} ${root}/${dir} SYMBOLIC)
  endforeach()
  add_library(CLI11::CLI11 INTERFACE IMPORTED GLOBAL)
  set_target_properties(CLI11::CLI11 PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${root})
  add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED GLOBAL)
  set_target_properties(nlohmann_json::nlohmann_json PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${root})
endfunction()

# GoogleTest from Debian's sources (libgtest-dev ships them), built by the cross compiler.
function(quaylink_cross_gtest)
  if(TARGET gtest)
    return()
  endif()
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  foreach(lib gtest gtest_main gmock gmock_main)
    # Their own code is not ours to hold to our warnings.
    target_compile_options(${lib} PRIVATE -w)
  endforeach()
  # GoogleTest 1.11 and later name their targets GTest:: themselves.
  foreach(lib gtest gtest_main gmock)
    if(NOT TARGET GTest::${lib})
      add_library(GTest::${lib} ALIAS ${lib})
    endif()
  endforeach()
endfunction()
