# What `cmake --install` lays out, and the Windows zip cpack makes of it.
# Debian packages are built by debian/, on the same installation.
#
# `cmake --install` writes the path of every file it installed, one a line,
# to install_manifest.txt in the build folder; `cmake --build BUILD --target
# uninstall` removes exactly those files again.

# One name for the package and its documents folder (Debian allows no '_').
set(PFT_PACKAGE_NAME palm-font-tools)
set(CMAKE_INSTALL_DOCDIR share/doc/${PFT_PACKAGE_NAME} CACHE PATH "Documentation (README, examples)")
include(GNUInstallDirs)

if(WIN32)
  # A folder to unpack anywhere: the programs at its top, the texts beside
  # them, and the generator where fontpick.exe looks for it, so that a
  # double-click on pick-font.cmd works there.
  set(PFT_INSTALL_BINDIR .)
  set(PFT_INSTALL_DOCDIR .)
  set(PFT_INSTALL_MANDIR man)
else()
  set(PFT_INSTALL_BINDIR ${CMAKE_INSTALL_BINDIR})
  set(PFT_INSTALL_DOCDIR ${CMAKE_INSTALL_DOCDIR})
  set(PFT_INSTALL_MANDIR ${CMAKE_INSTALL_MANDIR})
endif()

# Programs that are not part of this build are left out.
foreach(program prcbuild fontpick prcdump glyphsmith)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${PFT_INSTALL_BINDIR})
  endif()
endforeach()
add_subdirectory(man)

# Writes a generated file only when its text changes, so that nothing is
# rebuilt or reinstalled for nothing.
function(pft_write output text)
  set(old "")
  if(EXISTS ${output})
    file(READ ${output} old)
  endif()
  if(NOT old STREQUAL text)
    file(WRITE ${output} "${text}")
  endif()
endfunction()

# A text file as the target system writes them: CR LF on Windows.
function(pft_text_file source output)
  file(READ ${source} text)
  if(WIN32)
    string(REPLACE "\n" "\r\n" text "${text}")
  endif()
  pft_write(${output} "${text}")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
endfunction()

if(WIN32)
  if(TARGET glyphsmith AND TARGET fontpick)
    # A copy of the installed (and, by cpack, stripped) glyphsmith.exe.
    install(CODE [[
      set(top "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
      file(MAKE_DIRECTORY "${top}/bin")
      file(COPY_FILE "${top}/glyphsmith.exe" "${top}/bin/_glyphsmith.exe")
      list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${top}/bin/_glyphsmith.exe")
      message(STATUS "Installing: ${top}/bin/_glyphsmith.exe")
    ]])
    # fontpick.exe is a console program, whose window closes with it: the
    # script to double-click keeps it open for the generator's report.
    pft_text_file(${PROJECT_SOURCE_DIR}/doc/pick-font.cmd ${CMAKE_BINARY_DIR}/text/pick-font.cmd)
    install(FILES ${CMAKE_BINARY_DIR}/text/pick-font.cmd DESTINATION ${PFT_INSTALL_BINDIR})
  endif()
  pft_text_file(${PROJECT_SOURCE_DIR}/doc/README-windows.txt ${CMAKE_BINARY_DIR}/text/README.txt)
  pft_text_file(${PROJECT_SOURCE_DIR}/LICENSE ${CMAKE_BINARY_DIR}/text/LICENSE)
  pft_text_file(${PROJECT_SOURCE_DIR}/NOTICE ${CMAKE_BINARY_DIR}/text/NOTICE)
  install(FILES ${CMAKE_BINARY_DIR}/text/README.txt ${CMAKE_BINARY_DIR}/text/LICENSE
    ${CMAKE_BINARY_DIR}/text/NOTICE DESTINATION ${PFT_INSTALL_DOCDIR})
else()
  # A README for the installed programs, with the picture it names beside
  # it: the source tree's speaks of its scripts and build folders.
  install(FILES doc/README-installed.md DESTINATION ${PFT_INSTALL_DOCDIR} RENAME README.md)
  install(FILES doc/preview.png LICENSE NOTICE DESTINATION ${PFT_INSTALL_DOCDIR})
endif()
install(DIRECTORY examples/ DESTINATION ${PFT_INSTALL_DOCDIR}/examples)

# Removes what the last `cmake --install` of this build put in place, as its
# manifest lists it, and the folders that are left empty.
if(NOT TARGET uninstall)
  add_custom_target(uninstall
    COMMAND ${CMAKE_COMMAND} -DMANIFEST=${CMAKE_BINARY_DIR}/install_manifest.txt
      -DDOCDIR=${PFT_INSTALL_DOCDIR} -P ${PROJECT_SOURCE_DIR}/cmake/uninstall.cmake
    COMMENT "Removing the files that install_manifest.txt lists" VERBATIM)
endif()

# The Windows zip: one folder, named for the package and its version.
if(WIN32)
  set(CPACK_PACKAGE_NAME ${PFT_PACKAGE_NAME})
  set(CPACK_PACKAGE_VENDOR "the Palm font tools authors")
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Make Palm OS font packages from desktop fonts")
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME win64)
  set(CPACK_STRIP_FILES ON)
  include(CPack)
endif()
