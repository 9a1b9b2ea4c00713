# The Debian package quellix_<version>_<arch>.deb, made by CPack from what `cmake --install` puts
# under /usr; scripts/package builds it from the normal build directory and checks it.
set(QUELLIX_MAINTAINER "The Quellix Config developers <quellix-config@example.org>"
  CACHE STRING "Maintainer named in the Debian package")

# The copyright file in Debian's machine-readable form, and the changelog, whose newest entry must carry
# the project's version (the package check compares them).
find_program(GZIP gzip REQUIRED)
set(changelog ${PROJECT_BINARY_DIR}/packaging/changelog.gz)
file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/packaging)
add_custom_command(OUTPUT ${changelog}
  COMMAND sh -c "'${GZIP}' -9n < '${PROJECT_SOURCE_DIR}/packaging/changelog' > '${changelog}'"
  DEPENDS ${PROJECT_SOURCE_DIR}/packaging/changelog
  VERBATIM)
add_custom_target(quellix_changelog ALL DEPENDS ${changelog})
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${changelog} DESTINATION ${CMAKE_INSTALL_DOCDIR})

# Everything the package holds, so that scripts/package builds no tests on a fresh checkout.
add_custom_target(quellix_shipped)
add_dependencies(quellix_shipped manpages quellix_changelog)
foreach(program IN LISTS QUELLIX_PROGRAMS)
  if(TARGET ${program})
    add_dependencies(quellix_shipped ${program})
  endif()
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quellix)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window's icon is an SVG, which Qt draws with the plugins of libqt6svg6; the completions are
# loaded by bash-completion (they also work sourced by hand); the manual shows in yelp from Help.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libqt6svg6, bash-completion")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "yelp")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QUELLIX_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Makes the publisher service's system user.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/packaging/postinst)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "configure and monitor the Quellix four-channel panel display
Quellix Config sets up the Quellix panel display unit, a four-channel meter
for process values such as flow, temperature, pressure and level, over its
serial line (a USB serial adapter or a built-in port). One window shows the
unit's configuration - header lines, and for each channel its tag name,
units, decimal places and two-point calibration - together with the live
readings; configurations are read from the unit, sent to it, and kept in
files.

quellix-cli does the same from scripts, without a window: it reads a unit's
configuration into a file (a readable, diffable JSON text form or the
block image), writes a file to a unit and checks what the unit stored,
prints readings as CSV or JSON lines, and finds the serial device the unit
is on.

The package also holds quellix-sim, a simulated display unit on a
pseudo-terminal, to try the tools without hardware.")
include(CPack)
