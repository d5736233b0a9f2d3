# Installing Vorn on a desktop, and packing it as a Debian package.
#
# Included from the top CMakeLists.txt once the targets vorn-cli and (with the
# window) vorn exist:
#
#   include(cmake/packaging.cmake)
#
# then
#
#   cmake --install build --prefix /usr        # DESTDIR=... works as usual
#   cmake --build build --target package       # or: cd build && cpack -G DEB
#
# VORN_PACKAGING_DIR names the folder with the desktop file, metainfo, icons and man
# pages (default: packaging/ beside the top CMakeLists.txt).

include_guard(GLOBAL)
include(GNUInstallDirs)

if(NOT DEFINED VORN_PACKAGING_DIR)
  set(VORN_PACKAGING_DIR "${PROJECT_SOURCE_DIR}/packaging")
endif()
if(NOT DEFINED VORN_LICENSE_FILE)
  set(VORN_LICENSE_FILE "${PROJECT_SOURCE_DIR}/LICENSE")
endif()
set(VORN_PACKAGE_MAINTAINER "The Vorn developers <vorn@example.org>" CACHE STRING
    "Maintainer field of the Debian package: NAME <ADDRESS>")
set(VORN_PACKAGE_HOMEPAGE "" CACHE STRING "Homepage field of the Debian package (empty: none)")

set(vorn_docdir "${CMAKE_INSTALL_DATADIR}/doc/vorn")

# --- The programs -------------------------------------------------------------

install(TARGETS vorn-cli RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
set(vorn_man_pages vorn-cli.1)
if(TARGET vorn)
  install(TARGETS vorn RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
  list(APPEND vorn_man_pages vorn.1)

  # --- What a desktop needs to show and open the window -----------------------
  install(FILES "${VORN_PACKAGING_DIR}/vorn.desktop"
          DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
  install(FILES "${VORN_PACKAGING_DIR}/io.github.vorn.Vorn.metainfo.xml"
          DESTINATION "${CMAKE_INSTALL_DATADIR}/metainfo")
  foreach(size 16 24 32 48 64 128 256)
    install(FILES "${VORN_PACKAGING_DIR}/icons/vorn-${size}.png"
            DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps"
            RENAME vorn.png)
  endforeach()
  install(FILES "${VORN_PACKAGING_DIR}/icons/vorn.svg"
          DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps")
endif()

# --- Man pages, compressed at build time as Debian wants them -----------------
# gzip -n leaves out the name and time stamp, so that the same page always gives
# the same bytes.

find_program(VORN_GZIP gzip)
set(vorn_man_outputs "")
foreach(page IN LISTS vorn_man_pages)
  set(source "${VORN_PACKAGING_DIR}/man/${page}")
  if(VORN_GZIP)
    set(out "${CMAKE_CURRENT_BINARY_DIR}/man/${page}.gz")
    add_custom_command(
      OUTPUT "${out}"
      COMMAND "${CMAKE_COMMAND}" -E make_directory "${CMAKE_CURRENT_BINARY_DIR}/man"
      COMMAND "${CMAKE_COMMAND}" -E copy "${source}" "${CMAKE_CURRENT_BINARY_DIR}/man/${page}"
      COMMAND "${VORN_GZIP}" -9nf "${CMAKE_CURRENT_BINARY_DIR}/man/${page}"
      DEPENDS "${source}"
      COMMENT "Compressing man page ${page}"
      VERBATIM)
  else()
    set(out "${source}")
  endif()
  list(APPEND vorn_man_outputs "${out}")
endforeach()
add_custom_target(vorn_man_pages ALL DEPENDS ${vorn_man_outputs})
install(FILES ${vorn_man_outputs} DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")

# The licence, where Debian looks for it.
install(FILES "${VORN_LICENSE_FILE}" DESTINATION "${vorn_docdir}" RENAME copyright)

# A package with a doc folder has a changelog in Debian's format; ours names only the
# version (the project's history tells the rest). Its time is the configure time, or
# SOURCE_DATE_EPOCH when set.
string(TIMESTAMP vorn_changelog_time "%a, %d %b %Y %H:%M:%S +0000" UTC)
file(CONFIGURE OUTPUT "${CMAKE_CURRENT_BINARY_DIR}/changelog" @ONLY CONTENT
"vorn (@PROJECT_VERSION@) unstable; urgency=medium

  * Vorn @PROJECT_VERSION@.

 -- @VORN_PACKAGE_MAINTAINER@  @vorn_changelog_time@
")
if(VORN_GZIP)
  add_custom_command(
    OUTPUT "${CMAKE_CURRENT_BINARY_DIR}/changelog.gz"
    COMMAND "${VORN_GZIP}" -9nkf "${CMAKE_CURRENT_BINARY_DIR}/changelog"
    DEPENDS "${CMAKE_CURRENT_BINARY_DIR}/changelog"
    VERBATIM)
  add_custom_target(vorn_changelog ALL DEPENDS "${CMAKE_CURRENT_BINARY_DIR}/changelog.gz")
  install(FILES "${CMAKE_CURRENT_BINARY_DIR}/changelog.gz" DESTINATION "${vorn_docdir}")
else()
  install(FILES "${CMAKE_CURRENT_BINARY_DIR}/changelog" DESTINATION "${vorn_docdir}")
endif()

# The metainfo's newest release is the one software centres show: it should be this one.
file(STRINGS "${VORN_PACKAGING_DIR}/io.github.vorn.Vorn.metainfo.xml" vorn_release
     REGEX "<release version=" LIMIT_COUNT 1)
if(NOT vorn_release MATCHES "version=\"${PROJECT_VERSION}\"")
  message(WARNING "io.github.vorn.Vorn.metainfo.xml: the newest <release> is not ${PROJECT_VERSION}")
endif()

# --- The Debian package ---------------------------------------------------------

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vorn)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "The Vorn developers")
set(CPACK_PACKAGE_CONTACT "${VORN_PACKAGE_MAINTAINER}")
set(CPACK_RESOURCE_FILE_LICENSE "${VORN_LICENSE_FILE}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # vorn_VERSION_ARCH.deb
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VORN_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
if(VORN_PACKAGE_HOMEPAGE)
  set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${VORN_PACKAGE_HOMEPAGE}")
endif()
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The first line is the synopsis; an empty line becomes " ." in the control file.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"examine and repair damaged baseline JPEG files bit by bit
Vorn opens a baseline JPEG file whose picture is broken, shifted or
discoloured from some block on and finds the flipped bit that damaged it.
It lists every marker and table of the file, shows the picture as its own
decoder reads it, maps a click on a block to the byte and bit where that
block's data begins, lists the scan data code word by code word, and
searches for the single bit that repairs the picture: preview, apply, undo,
redo and save. The window speaks Japanese.

vorn-cli drives the same handlers without a window: it analyses, decodes,
checks and repairs files from the command line.")

# Depends: what the programs link, as dpkg-shlibdeps (package dpkg-dev) finds it,
# or Debian 12's names when it is not there. Qt loads the platform plugins only at
# run time, so no linker look-up finds them. CPack picks the programs to hand to
# dpkg-shlibdeps with the file command (package file), and stops without it.
set(vorn_runtime_depends "qt6-qpa-plugins")
option(VORN_PACKAGE_SHLIBDEPS "Compute the package's Depends with dpkg-shlibdeps (package dpkg-dev)" ON)
find_program(VORN_DPKG_SHLIBDEPS dpkg-shlibdeps)
find_program(VORN_FILE_COMMAND file)
if(VORN_PACKAGE_SHLIBDEPS AND VORN_DPKG_SHLIBDEPS AND VORN_FILE_COMMAND)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  message(STATUS "Package Depends: Debian 12's library packages, not dpkg-shlibdeps's")
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
  list(PREPEND vorn_runtime_depends "libc6 (>= 2.34)" "libgcc-s1 (>= 3.0)" "libstdc++6 (>= 12)"
       "libpng16-16 (>= 1.6.2)")
  if(TARGET vorn)
    list(APPEND vorn_runtime_depends "libqt6core6 (>= 6.4.2)" "libqt6gui6 (>= 6.4.2)"
         "libqt6widgets6 (>= 6.4.2)" "libqt6network6 (>= 6.4.2)")
  endif()
endif()
if(NOT TARGET vorn)
  list(REMOVE_ITEM vorn_runtime_depends "qt6-qpa-plugins")
endif()
list(JOIN vorn_runtime_depends ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
# Japanese texts in Qt's standard dialogs, and a font with Japanese characters.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, fonts-noto-cjk")

include(CPack)
