# Packages: a .deb and a .tar.gz on Linux (the program, its manual page and
# the README), a .zip on Windows (elab.exe, the README, the manual page as
# plain text and the example price file). `cpack` in the build directory.

# Packages are made from a finished build: installing does not build the
# whole tree again first (the package test would otherwise rebuild it).
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(CPACK_PACKAGE_NAME elab)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "elab")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Training file for a price forecasting model from daily price records")
set(CPACK_PACKAGE_CONTACT "elab maintainers <elab@localhost>")
set(CPACK_STRIP_FILES ON)

if(WIN32)
  # Everything at the top of the archive, next to elab.exe.
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME windows-x86_64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)

  find_program(ELAB_GROFF groff)
  set(man_text ${PROJECT_BINARY_DIR}/elab.txt)
  if(ELAB_GROFF)
    # Plain characters only: no overstriking for bold or underline.
    add_custom_command(
      OUTPUT ${man_text}
      COMMAND ${ELAB_GROFF} -t -man -Tascii -P-c -P-b -P-u -P-o
              ${PROJECT_SOURCE_DIR}/doc/elab.1 > ${man_text}
      DEPENDS ${PROJECT_SOURCE_DIR}/doc/elab.1
      VERBATIM)
    add_custom_target(man_text ALL DEPENDS ${man_text})
    install(FILES ${man_text} DESTINATION .)
  else()
    message(WARNING "groff not found: the .zip has no text rendering of the manual page")
  endif()
  install(TARGETS elab RUNTIME DESTINATION .)
  install(FILES README.md DESTINATION .)
  install(FILES examples/prices.txt examples/prices.csv DESTINATION .)
else()
  set(CPACK_GENERATOR DEB TGZ)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION science)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libstdc++6, libgcc-s1")
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
endif()

include(CPack)
