# In a cross build (Windows with MinGW-w64) only the unit tests of the
# reader and the writer are built, with GoogleTest from its sources, and
# ctest runs them through the emulator of the toolchain (Wine). The
# end-to-end tests stay in the native build: they run the cross-built
# program through the same emulator from the environment.
set(ELAB_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources for a cross build")
if(NOT EXISTS ${ELAB_GTEST_SOURCE}/CMakeLists.txt)
  message(WARNING "No GoogleTest sources in ${ELAB_GTEST_SOURCE} (Debian package googletest): "
                  "the cross-built unit tests are skipped.")
  return()
endif()

# GoogleTest is built with its own warnings, not the program's -Werror.
get_directory_property(program_options COMPILE_OPTIONS)
set_directory_properties(PROPERTIES COMPILE_OPTIONS "")
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${ELAB_GTEST_SOURCE} ${CMAKE_CURRENT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
set_directory_properties(PROPERTIES COMPILE_OPTIONS "${program_options}")

foreach(name IN LISTS ELAB_CROSS_TESTS)
  add_executable(${name} ${name}.cpp)
  target_link_libraries(${name} PRIVATE elab_cli gtest gtest_main)
  target_include_directories(${name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  target_compile_options(${name} PRIVATE $<$<CXX_COMPILER_ID:GNU>:-Wno-restrict>)
  target_compile_definitions(${name} PRIVATE ELAB_SANITIZED=0)
  # One test per program: the emulator runs it whole.
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES TIMEOUT 600 LABELS unit)
  if(name IN_LIST slow_programs)
    set_property(TEST ${name} APPEND PROPERTY LABELS slow)
  endif()
endforeach()
