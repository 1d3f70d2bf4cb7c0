# Installation and packages. Linux: the program, the loader as the command
# elab-load, their manual pages, the README and the user's documents, the
# copyright and changelog,
# as a .deb and a .tar.gz. Windows: a .zip with elab.exe, the loader
# (elab-load.py), the README and its documents, the manual page as plain
# text and the example
# price files, all at its top. The loader is the module's python/elab/load.py
# on its own: it needs numpy, not the compiled module. `cpack` in the build directory.

# Packages are made from a finished build: installing does not build the
# whole tree again first (the package test would otherwise rebuild it).
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(ELAB_PACKAGE_CONTACT "elab maintainers <elab@example.org>"
    CACHE STRING "Maintainer of the packages: name <address>")

set(CPACK_PACKAGE_NAME elab)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "elab")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "training file for a price forecasting model from daily prices")
set(CPACK_PACKAGE_DESCRIPTION_FILE ${PROJECT_SOURCE_DIR}/doc/description.txt)
set(CPACK_PACKAGE_CONTACT "${ELAB_PACKAGE_CONTACT}")
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
  # Run as `py elab-load.py elab.dat`: Windows finds the interpreter by the
  # file's ending.
  install(FILES python/elab/load.py DESTINATION . RENAME elab-load.py)
  install(FILES README.md DESTINATION .)
  install(FILES doc/guide.md doc/python.md doc/differences.md DESTINATION doc)
  install(FILES examples/prices.txt examples/prices.csv DESTINATION .)
else()
  # Manual pages and the changelog go compressed, as the Debian policy asks;
  # made when configuring, so that an install needs no build step of its own.
  find_program(ELAB_GZIP gzip REQUIRED)
  function(elab_gzip source target)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
    # -n: no name or time stamp, so the same page gives the same bytes.
    execute_process(COMMAND ${ELAB_GZIP} -9 -n -c ${source}
                    OUTPUT_FILE ${target} COMMAND_ERROR_IS_FATAL ANY)
  endfunction()
  set(packed ${PROJECT_BINARY_DIR}/packed)
  file(MAKE_DIRECTORY ${packed})
  elab_gzip(${PROJECT_SOURCE_DIR}/doc/elab.1 ${packed}/elab.1.gz)
  elab_gzip(${PROJECT_SOURCE_DIR}/doc/elab-load.1 ${packed}/elab-load.1.gz)
  elab_gzip(${PROJECT_SOURCE_DIR}/doc/changelog ${packed}/changelog.gz)

  install(TARGETS elab RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(PROGRAMS python/elab/load.py DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME elab-load)
  install(FILES ${packed}/elab.1.gz ${packed}/elab-load.1.gz
          DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES README.md doc/copyright ${packed}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DOCDIR})
  # Beside the README as its links name them.
  install(FILES doc/guide.md doc/python.md doc/differences.md
          DESTINATION ${CMAKE_INSTALL_DOCDIR}/doc)

  set(CPACK_GENERATOR DEB TGZ)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION science)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libstdc++6, libgcc-s1, python3")
  # elab-load reads with numpy and draws with matplotlib.
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "python3-numpy")
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS "python3-matplotlib, python3-pandas")
  # Directories owned by root with the usual modes, whatever the umask of
  # the build.
  set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
      OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
endif()

include(CPack)
