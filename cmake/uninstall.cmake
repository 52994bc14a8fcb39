# Removes each file that install_manifest.txt names, then the documents
# folder and the folders in it where they are left empty; folders the
# programs merely share with others (bin, man1) stay. Run by the uninstall
# target:
#   cmake -DMANIFEST=BUILD/install_manifest.txt -DDOCDIR=share/doc/NAME -P cmake/uninstall.cmake
if(NOT EXISTS "${MANIFEST}")
  message(FATAL_ERROR "Nothing to uninstall: ${MANIFEST} is missing (run cmake --install first)")
endif()
file(STRINGS "${MANIFEST}" files)
set(folders)
foreach(file IN LISTS files)
  if(EXISTS "${file}" OR IS_SYMLINK "${file}")
    message(STATUS "Removing ${file}")
    file(REMOVE "${file}")
  endif()
  get_filename_component(folder "${file}" DIRECTORY)
  if(folder MATCHES "/${DOCDIR}(/|$)")
    list(APPEND folders "${folder}")
    # The documents folder itself, when only its subfolders held files.
    string(REGEX REPLACE "(/${DOCDIR})/.*" "\\1" top "${folder}")
    list(APPEND folders "${top}")
  endif()
endforeach()
# Deepest first, so that a folder is looked at after the folders in it.
list(REMOVE_DUPLICATES folders)
list(SORT folders ORDER DESCENDING)
foreach(folder IN LISTS folders)
  file(GLOB entries "${folder}/*" "${folder}/.*")
  if(IS_DIRECTORY "${folder}" AND NOT entries)
    message(STATUS "Removing the empty folder ${folder}")
    file(REMOVE_RECURSE "${folder}")
  endif()
endforeach()
