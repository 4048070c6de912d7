# The program as a Linux desktop application: the user guide copied beside
# the window program in the build tree, the install rules (programs,
# libquillon with its public headers, the guide, menu entry, icons and file
# types) and the Debian package made by `cpack -G DEB`.
include(GNUInstallDirs)

set(LUMBROOK_PACKAGING_DIR ${CMAKE_SOURCE_DIR}/packaging)

# --- the guide beside the program ----------------------------------------------
file(GLOB_RECURSE lumbrook_help_files CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/help/*)
if(TARGET lumbrook)
  set(help_stamp ${CMAKE_CURRENT_BINARY_DIR}/lumbrook-help.stamp)
  add_custom_command(OUTPUT ${help_stamp}
    COMMAND ${CMAKE_COMMAND} -E rm -rf $<TARGET_FILE_DIR:lumbrook>/Help
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${CMAKE_SOURCE_DIR}/help $<TARGET_FILE_DIR:lumbrook>/Help
    COMMAND ${CMAKE_COMMAND} -E touch ${help_stamp}
    DEPENDS ${lumbrook_help_files}
    COMMENT "Copying the user guide beside lumbrook")
  add_custom_target(lumbrook-help ALL DEPENDS ${help_stamp})
  add_dependencies(lumbrook lumbrook-help)
endif()

# --- icons ------------------------------------------------------------------------
# PNG sizes for desktops that do not draw SVG icons, rendered when
# rsvg-convert is there; the scalable icon is installed in any case.
find_program(RSVG_CONVERT rsvg-convert)
set(lumbrook_png_sizes 48 128)
set(lumbrook_pngs)
if(RSVG_CONVERT)
  foreach(size ${lumbrook_png_sizes})
    set(png ${CMAKE_CURRENT_BINARY_DIR}/icons/${size}/lumbrook.png)
    add_custom_command(OUTPUT ${png}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/icons/${size}
      COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} ${LUMBROOK_PACKAGING_DIR}/lumbrook.svg -o ${png}
      DEPENDS ${LUMBROOK_PACKAGING_DIR}/lumbrook.svg
      COMMENT "Rendering the ${size} px icon")
    list(APPEND lumbrook_pngs ${png})
    install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  endforeach()
  add_custom_target(lumbrook-icons ALL DEPENDS ${lumbrook_pngs})
endif()

# --- Debian documentation files ----------------------------------------------------
# A Debian package carries its copyright and a compressed changelog (the
# name of a native package's changelog).
set(lumbrook_changelog ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)
string(TIMESTAMP lumbrook_changelog_date "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${LUMBROOK_PACKAGING_DIR}/changelog.in ${CMAKE_CURRENT_BINARY_DIR}/changelog.Debian @ONLY)
add_custom_command(OUTPUT ${lumbrook_changelog}
  COMMAND gzip -9 -n -c ${CMAKE_CURRENT_BINARY_DIR}/changelog.Debian > ${lumbrook_changelog}
  DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/changelog.Debian
  VERBATIM)
add_custom_target(lumbrook-changelog ALL DEPENDS ${lumbrook_changelog})

# Manual pages, compressed as Debian installs them.
set(lumbrook_manpages)
foreach(page lumbrook lumbrook-cli lumbrook-report-pdf)
  set(gz ${CMAKE_CURRENT_BINARY_DIR}/man/${page}.1.gz)
  add_custom_command(OUTPUT ${gz}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/man
    COMMAND gzip -9 -n -c ${LUMBROOK_PACKAGING_DIR}/man/${page}.1 > ${gz}
    DEPENDS ${LUMBROOK_PACKAGING_DIR}/man/${page}.1
    VERBATIM)
  list(APPEND lumbrook_manpages ${gz})
endforeach()
add_custom_target(lumbrook-manpages ALL DEPENDS ${lumbrook_manpages})

# --- install ------------------------------------------------------------------------
set(lumbrook_programs lumbrook-cli)
foreach(t lumbrook lumbrook-report-pdf)
  if(TARGET ${t})
    list(APPEND lumbrook_programs ${t})
  endif()
endforeach()
install(TARGETS ${lumbrook_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The build tree's programs find libquillon (opened at the first XML export)
# through a run path to its folder; installed, they find it in the library
# folder and carry no run path. CMake would give installed targets their
# build-tree run path with a trailing ":" (room it keeps for rewriting the
# path at install), and an empty entry makes the loader search the current
# folder first. So these targets get no run path from CMake: the programs
# get the folder straight from the linker, and the install removes it.
set_target_properties(${lumbrook_programs} PROPERTIES SKIP_BUILD_RPATH ON)
foreach(t ${lumbrook_programs})
  target_link_options(${t} PRIVATE "LINKER:-rpath,${CMAKE_BINARY_DIR}/converter")
  install(CODE "file(RPATH_REMOVE FILE \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/${t}\")")
endforeach()
if(TARGET converter)
  set_target_properties(converter PROPERTIES SKIP_BUILD_RPATH ON)
  install(TARGETS converter LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
  # The public header of Quillon and what it includes, under their source
  # paths: #include "converter/convertor.h" with -I<prefix>/include/quillon.
  install(FILES
      ${CMAKE_SOURCE_DIR}/converter/convertor.h ${CMAKE_SOURCE_DIR}/converter/convertorerrors.h
      ${CMAKE_SOURCE_DIR}/converter/dictionaries.h ${CMAKE_SOURCE_DIR}/converter/identity.h
      ${CMAKE_SOURCE_DIR}/converter/quillonglobal.h ${CMAKE_SOURCE_DIR}/converter/xmldocument.h
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/quillon/converter)
  install(FILES ${CMAKE_SOURCE_DIR}/dataaccess/error.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/quillon/dataaccess)
endif()
install(DIRECTORY ${CMAKE_SOURCE_DIR}/help/ DESTINATION ${CMAKE_INSTALL_DATADIR}/lumbrook/Help)
install(FILES ${LUMBROOK_PACKAGING_DIR}/lumbrook.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${LUMBROOK_PACKAGING_DIR}/lumbrook.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${LUMBROOK_PACKAGING_DIR}/lumbrook-mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
  RENAME lumbrook.xml)
install(FILES ${lumbrook_manpages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${LUMBROOK_PACKAGING_DIR}/copyright ${lumbrook_changelog}
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/lumbrook)

# --- the Debian package ----------------------------------------------------------------
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lumbrook)
set(CPACK_PACKAGE_VENDOR "Fenwright")
set(CPACK_PACKAGE_CONTACT "Lumbrook maintainers <lumbrook@fenwright.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "viewer for legacy database files")
set(CPACK_PACKAGE_DESCRIPTION
  "Lumbrook opens Access databases, Excel workbooks, dBase and FoxPro tables,
Paradox tables, delimited text, recordsets saved as XML and data links to
database servers. It lists their tables, shows the rows in a grid, filters,
sorts and edits them, prints them as a report and exports them as XML or
text. The package also holds lumbrook-cli for the shell and the XSLT
library Quillon.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION database)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://lumbrook.fenwright.example/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# libquillon lives in this package: dpkg-shlibdeps finds it here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/converter)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
# ldconfig runs by dpkg's trigger, not from maintainer scripts.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${LUMBROOK_PACKAGING_DIR}/triggers)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Loaded at run time, so dpkg-shlibdeps cannot see them: the SVG icon
# plug-in, and the Excel, Paradox, dBase, ODBC and SQLite libraries the
# data-access layer opens at first use (dataaccess/lazylibrary.h). libquillon, which the
# programs also open at first use, is in this package, and dpkg-shlibdeps
# reads its own libxslt and libxml2 needs.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6, libgsf-1-114, pxlib1, libshp2, libodbc2, libsqlite3-0")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, shared-mime-info, desktop-file-utils")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "odbc-postgresql, odbc-mariadb")
set(CPACK_STRIP_FILES ON)
include(CPack)
