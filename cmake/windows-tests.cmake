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
