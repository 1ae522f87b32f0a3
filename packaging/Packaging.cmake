# The Debian package of the Linux build: `cpack -G DEB` in the build folder (tools/package.sh
# builds, packs, installs, checks and removes it). It carries the three programs, the desktop
# entry and icons (app/), man pages of quaylink-cli and quaylink-station made from their
# --help, and the udev rule for the stations' CP210x bridges.

# A cross-build cannot run its programs for their help texts, another system has no udev or
# dpkg, and a sanitizer build is for tests, never for shipping.
if(NOT CMAKE_SYSTEM_NAME STREQUAL "Linux" OR CMAKE_CROSSCOMPILING
   OR NOT QUAYLINK_SANITIZE STREQUAL "")
  return()
endif()

include(GNUInstallDirs)

# Man pages, from the --help of the programs just built, so they never drift from the options.
option(QUAYLINK_MAN_PAGES "Make the man pages of quaylink-cli and quaylink-station (help2man)" ON)
if(QUAYLINK_MAN_PAGES)
  find_program(QUAYLINK_HELP2MAN help2man)
  find_program(QUAYLINK_GZIP gzip)
  if(NOT QUAYLINK_HELP2MAN OR NOT QUAYLINK_GZIP)
    message(FATAL_ERROR "help2man and gzip make the man pages: bash tools/deps.sh installs "
                        "them (or configure with -DQUAYLINK_MAN_PAGES=OFF)")
  endif()
  set(quaylink_man_dir ${PROJECT_BINARY_DIR}/man)
  file(MAKE_DIRECTORY ${quaylink_man_dir})
  set(quaylink_man_pages)
  foreach(page IN ITEMS
          "quaylink-cli|read, write and service gas-detector docking stations from scripts"
          "quaylink-station|gas-detector docking station emulator on a pseudo-terminal")
    string(REPLACE "|" ";" page "${page}")
    list(GET page 0 program)
    list(GET page 1 summary)
    set(man ${quaylink_man_dir}/${program}.1)
    # The station emulator has no --version: --version-string gives both pages the
    # package's version; gzip -n keeps them byte for byte reproducible.
    add_custom_command(
      OUTPUT ${man}.gz
      COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C.UTF-8
              ${QUAYLINK_HELP2MAN} --no-info "--name=${summary}"
              "--version-string=${PROJECT_VERSION}" --output=${man} $<TARGET_FILE:${program}>
      COMMAND ${QUAYLINK_GZIP} -9nf ${man}
      DEPENDS ${program}
      COMMENT "Man page of ${program}"
      VERBATIM)
    list(APPEND quaylink_man_pages ${man}.gz)
  endforeach()
  add_custom_target(quaylink_man_pages ALL DEPENDS ${quaylink_man_pages})
  install(FILES ${quaylink_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

# udev reads rules from lib/udev/rules.d under /usr and /usr/local, not under the
# multiarch library folder that CMAKE_INSTALL_LIBDIR names on Debian.
install(FILES ${CMAKE_CURRENT_LIST_DIR}/60-quaylink-cp210x.rules DESTINATION lib/udev/rules.d)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quaylink)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Quaylink")
set(CPACK_PACKAGE_CONTACT
    "Quaylink maintainers <maintainers@users.noreply.c-seed-d05e9864.example>"
    CACHE STRING "Maintainer of the Debian package (name <address>)")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "configure and service gas-detector docking stations")
# Wrapped for the control file, whose description lines stay within 80 columns.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Quaylink reads and writes the settings of gas-detector docking stations and\n"
    "the option sets they push into single-gas (TKL) and four-gas (RVX)\n"
    "detectors, uploads firmware, downloads event logs, and shows and prints\n"
    "calibration certificates. It talks to the station over a CP210x USB-serial\n"
    "bridge or through configuration files on a USB drive.\n"
    "\n"
    "The package holds the desktop window (quaylink), a command-line tool for\n"
    "scripts (quaylink-cli), a docking station emulator (quaylink-station), and a\n"
    "udev rule that gives the dialout group and the local user the bridges and\n"
    "keeps ModemManager from probing them.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# dpkg-shlibdeps finds the libraries; these are needed at run time without being linked:
# the certificate's Arial resolves to Liberation Sans, and the window needs a Qt platform
# plugin to open at all.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation | fonts-liberation2")
if(TARGET quaylink)
  string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", qt6-qpa-plugins")
endif()
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_LIST_DIR}/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
# The build carries debug information; the package does not.
set(CPACK_STRIP_FILES TRUE)
include(CPack)
