# GoogleTest for the Windows test programs, built from the sources that
# Debian's googletest package ships, as no prebuilt copy exists for mingw-w64.
set(PFT_GOOGLETEST_SOURCE /usr/src/googletest/googletest)
if(EXISTS ${PFT_GOOGLETEST_SOURCE}/CMakeLists.txt)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(${PFT_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  # Not our code: our warning flags are not its business.
  target_compile_options(gtest PRIVATE -w)
  target_compile_options(gtest_main PRIVATE -w)
  set(PFT_WIN32_TESTS ON)
else()
  message(STATUS "No GoogleTest sources in ${PFT_GOOGLETEST_SOURCE}: Windows tests not built")
endif()

# The Windows test programs as CTest's tests, labelled "wine": wine runs
# them, and lists their cases when CTest starts rather than while building,
# so that the build needs no wine. scripts/test-windows.sh gives them the
# wine prefix and the display.
if(PFT_WIN32_TESTS)
  enable_testing()
  include(GoogleTest)
  find_program(PFT_WINE wine)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${PFT_WINE})
endif()
# A case named by its parameter's value alone: the odd names fontpick hands
# to cmd.exe are no names for CTest.
function(pft_wine_tests target)
  gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120 NO_PRETTY_VALUES
    PROPERTIES LABELS wine TIMEOUT 300)
endfunction()
