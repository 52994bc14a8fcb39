# The fonts the tests see, and no others: named files from Debian's font
# packages, linked into one folder of the build with a fontconfig setup that
# reads that folder alone. A font maker's machine has many more faces, and a
# test that asks for the closest family or the default one would otherwise
# answer differently there. scripts/test-windows.sh gives wine the same files.
set(PFT_TEST_FONT_FILES
  /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
  /usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
  /usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf
  /usr/share/fonts/truetype/dejavu/DejaVuSansMono-Bold.ttf
  /usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf
  /usr/share/fonts/truetype/dejavu/DejaVuSerif-Bold.ttf
  /usr/share/fonts/truetype/liberation2/LiberationMono-Regular.ttf
  /usr/share/fonts/truetype/liberation2/LiberationMono-Bold.ttf
  /usr/share/fonts/truetype/liberation2/LiberationMono-Italic.ttf
  /usr/share/fonts/truetype/liberation2/LiberationMono-BoldItalic.ttf
  /usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf
  /usr/share/fonts/truetype/liberation2/LiberationSans-Bold.ttf
  /usr/share/fonts/truetype/liberation2/LiberationSans-Italic.ttf
  /usr/share/fonts/truetype/liberation2/LiberationSans-BoldItalic.ttf
  /usr/share/fonts/truetype/liberation2/LiberationSerif-Regular.ttf
  /usr/share/fonts/truetype/liberation2/LiberationSerif-Bold.ttf
  /usr/share/fonts/truetype/liberation2/LiberationSerif-Italic.ttf
  /usr/share/fonts/truetype/liberation2/LiberationSerif-BoldItalic.ttf
  /usr/share/fonts/opentype/terminus/terminus-normal.otb
  /usr/share/fonts/opentype/terminus/terminus-bold.otb
  /usr/share/fonts/opentype/terminus/terminus-oblique.otb
  /usr/share/fonts/opentype/terminus/terminus-bold-oblique.otb)

set(PFT_TEST_FONT_DIR ${CMAKE_BINARY_DIR}/test-fonts)
file(REMOVE_RECURSE ${PFT_TEST_FONT_DIR})
file(MAKE_DIRECTORY ${PFT_TEST_FONT_DIR}/files)
foreach(font ${PFT_TEST_FONT_FILES})
  if(NOT EXISTS ${font})
    message(WARNING "Test font ${font} is missing (scripts/install-deps.sh test installs it)")
  endif()
  get_filename_component(name ${font} NAME)
  file(CREATE_LINK ${font} ${PFT_TEST_FONT_DIR}/files/${name} SYMBOLIC)
endforeach()
set(PFT_TEST_FONTCONFIG ${PFT_TEST_FONT_DIR}/fonts.conf)
file(WRITE ${PFT_TEST_FONTCONFIG} "<?xml version=\"1.0\"?>
<!DOCTYPE fontconfig SYSTEM \"urn:fontconfig:fonts.dtd\">
<fontconfig>
  <dir>${PFT_TEST_FONT_DIR}/files</dir>
  <cachedir>${PFT_TEST_FONT_DIR}/cache</cachedir>
</fontconfig>
")

# What every test runs with; a test program may add its own.
set(PFT_TEST_ENVIRONMENT FONTCONFIG_FILE=${PFT_TEST_FONTCONFIG})

# One X server for the tests that drive the dialog, which take turns on it.
set(PFT_XSERVER_DIR ${CMAKE_BINARY_DIR}/xserver)
add_test(NAME XServer.Start COMMAND sh ${PROJECT_SOURCE_DIR}/testsupport/xserver.sh start ${PFT_XSERVER_DIR})
add_test(NAME XServer.Stop COMMAND sh ${PROJECT_SOURCE_DIR}/testsupport/xserver.sh stop ${PFT_XSERVER_DIR})
set_tests_properties(XServer.Start PROPERTIES FIXTURES_SETUP xserver LABELS e2e)
set_tests_properties(XServer.Stop PROPERTIES FIXTURES_CLEANUP xserver LABELS e2e)

# Adds a GoogleTest program's cases to CTest, labelled "unit", or "e2e" for
# the suites that start the built programs: E2E is their gtest filter ("*"
# for all), DIALOG that of those that drive the dialog on the shared X
# server. ENVIRONMENT adds to what every test runs with.
include(GoogleTest)
function(pft_discover_tests target)
  cmake_parse_arguments(arg "" "E2E;DIALOG" "ENVIRONMENT" ${ARGN})
  string(JOIN ":" others ${arg_E2E} ${arg_DIALOG})
  set(filters)
  if(arg_E2E)
    list(APPEND filters e2e "${arg_E2E}")
  endif()
  if(arg_DIALOG)
    list(APPEND filters dialog "${arg_DIALOG}")
  endif()
  if(NOT others)
    list(APPEND filters unit "*")
  elseif(NOT others STREQUAL "*")
    list(APPEND filters unit "-${others}")
  endif()
  # gtest_discover_tests takes no list for a property's value: the fonts go
  # with the discovered tests, and the rest of the environment is added by a
  # script of our own that CTest reads after them. Its lists of tests miss a
  # name with brackets in it, which keeps the fonts and the label alone.
  set(script ${CMAKE_CURRENT_BINARY_DIR}/${target}_properties.cmake)
  set(lines)
  while(filters)
    list(POP_FRONT filters kind filter)
    set(tests pft_${target}_${kind})
    set(label ${kind})
    set(env ${arg_ENVIRONMENT})
    set(extra)
    if(kind STREQUAL dialog)
      set(label e2e)
      set(extra " FIXTURES_REQUIRED xserver RESOURCE_LOCK xserver")
      list(APPEND env XSERVER_DISPLAY_FILE=${PFT_XSERVER_DIR}/display)
    endif()
    gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60 TEST_FILTER "${filter}" TEST_LIST ${tests}
      PROPERTIES TIMEOUT 300 LABELS ${label} ENVIRONMENT ${PFT_TEST_ENVIRONMENT})
    if(NOT env)
      continue()
    endif()
    string(APPEND lines "foreach(test IN LISTS ${tests})\n"
      "  set_tests_properties(\"\${test}\" PROPERTIES ENVIRONMENT [==[${env}]==]${extra})\n"
      "endforeach()\n")
  endwhile()
  file(WRITE ${script} "${lines}")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${script})
endfunction()
