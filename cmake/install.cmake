# What `cmake --install` lays out, and the packages cpack makes of it: a
# Debian package on Linux, a zip of the static programs on Windows.

# One name for the package and its documents folder (Debian allows no '_').
set(PFT_PACKAGE_NAME palm-font-tools)
set(CMAKE_INSTALL_DOCDIR share/doc/${PFT_PACKAGE_NAME} CACHE PATH "Documentation (README, examples)")
include(GNUInstallDirs)

if(WIN32)
  # A zip to unpack anywhere: the programs at its top, the texts beside them.
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
install(FILES README.md DESTINATION ${PFT_INSTALL_DOCDIR})
# The README shows this picture from beside it.
install(FILES doc/preview.png DESTINATION ${PFT_INSTALL_DOCDIR}/doc)
install(DIRECTORY examples/ DESTINATION ${PFT_INSTALL_DOCDIR}/examples)

set(CPACK_PACKAGE_NAME ${PFT_PACKAGE_NAME})
set(CPACK_PACKAGE_VENDOR "Palm font tools")
set(CPACK_PACKAGE_CONTACT "Palm font tools maintainers <maintainers@palm-font-tools.invalid>"
    CACHE STRING "The packages' maintainer")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Make Palm OS font packages from desktop fonts")
set(CPACK_PACKAGE_DESCRIPTION "fontpick picks a desktop font and runs glyphsmith on it, which
renders it as Palm OS bitmap fonts; prcbuild packs them into a font package
or writes font remap packages, and prcdump lists, extracts and pictures any
.prc or .pdb file.")
set(CPACK_STRIP_FILES ON)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME win64)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  # Depends from the libraries the programs link: GTK, FreeType, fontconfig...
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()
include(CPack)
