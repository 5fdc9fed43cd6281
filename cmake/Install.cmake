# What `cmake --install` puts where, and the Debian package `cpack -G DEB` makes of it.
#   bin/hostide                                the stand-in IDE
#   lib/<arch>/orvik-palette-menu/             the host libraries and the add-in, private to
#                                              this project (no soname links, no headers)
#                                              and the C interface the Lazarus package loads
#   share/orvik-palette-menu/lazarus/          the Lazarus IDE package's sources (.lpk, .pas)
#   <Qt plugins>/designer/libOrvikPaletteMenuDesigner.so
#                                              the form-editor plugin that Qt Widgets Designer
#                                              and Qt Creator load
#   share/man/man1/hostide.1.gz                hostide's manual page, made from its --help
#   share/doc/orvik-palette-menu/              copyright, changelog.gz
# Tests, benchmarks and the test-only variants of the add-in are not installed.
# Included at the end of the top-level CMakeLists, when every target exists.

set(ORVIK_PRIVATE_LIBDIR ${CMAKE_INSTALL_LIBDIR}/orvik-palette-menu)
set(ORVIK_PRIVATE_FULL_LIBDIR ${CMAKE_INSTALL_FULL_LIBDIR}/orvik-palette-menu)

# The host libraries find each other beside themselves; the add-in finds them there too.
set(orvik_private_libraries rtl170 vcl170 designide170 OrvikPaletteMenu170
    OrvikPaletteMenuEmbed)
# The Qt views library, when another target builds it as a shared library.
if(TARGET qtmirrors)
  get_target_property(orvik_mirrors_type qtmirrors TYPE)
  if(orvik_mirrors_type STREQUAL "SHARED_LIBRARY")
    list(APPEND orvik_private_libraries qtmirrors)
  endif()
endif()
set_target_properties(${orvik_private_libraries} PROPERTIES INSTALL_RPATH "$ORIGIN")
install(TARGETS ${orvik_private_libraries}
        LIBRARY DESTINATION ${ORVIK_PRIVATE_LIBDIR} COMPONENT runtime
        NAMELINK_SKIP)

# The Lazarus package is built by the IDE from its sources: Package > Open Package File.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/ide/lazarus/
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/orvik-palette-menu/lazarus COMPONENT runtime
        FILES_MATCHING PATTERN "*.pas" PATTERN "*.lpk" PATTERN "lib" EXCLUDE
        PATTERN "backup" EXCLUDE)

# hostide finds the libraries relative to itself, so an installed tree can move as a whole.
file(RELATIVE_PATH orvik_bin_to_private ${CMAKE_INSTALL_FULL_BINDIR} ${ORVIK_PRIVATE_FULL_LIBDIR})
set_target_properties(hostide PROPERTIES INSTALL_RPATH "$ORIGIN/${orvik_bin_to_private}")
install(TARGETS hostide RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)

# The plugin goes where Qt looks for form-editor plugins: the designer folder under Qt's own
# plugin folder. When this project installs under Qt's prefix (the Debian package: /usr), the
# folder is given relative to the prefix, so that DESTDIR and staging installs stay inside
# their root; under another prefix it is Qt's absolute folder, since the hosts look nowhere
# else (short of QT_PLUGIN_PATH).
if(HOSTIDE_WITH_QT AND NOT DEFINED ORVIK_DESIGNER_PLUGIN_DIR AND DEFINED QT6_INSTALL_PLUGINS)
  get_filename_component(orvik_qt_prefix "${QT6_INSTALL_PREFIX}" ABSOLUTE)
  get_filename_component(orvik_prefix "${CMAKE_INSTALL_PREFIX}" ABSOLUTE)
  if(orvik_qt_prefix STREQUAL orvik_prefix)
    set(orvik_plugin_dir "${QT6_INSTALL_PLUGINS}/designer")
  else()
    set(orvik_plugin_dir "${orvik_qt_prefix}/${QT6_INSTALL_PLUGINS}/designer")
  endif()
  set(ORVIK_DESIGNER_PLUGIN_DIR "${orvik_plugin_dir}" CACHE STRING
      "Where the Qt Designer plugin is installed (relative to the prefix, or absolute)")
endif()
if(TARGET OrvikPaletteMenuDesigner)
  # The plugin's folder belongs to Qt, so it finds the host libraries and the add-in by their
  # absolute installed folder.
  set_target_properties(OrvikPaletteMenuDesigner PROPERTIES INSTALL_RPATH "${ORVIK_PRIVATE_FULL_LIBDIR}")
  install(TARGETS OrvikPaletteMenuDesigner
          LIBRARY DESTINATION ${ORVIK_DESIGNER_PLUGIN_DIR} COMPONENT runtime
          NAMELINK_SKIP)
endif()

install(FILES ${PROJECT_SOURCE_DIR}/LICENSE
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/orvik-palette-menu
        RENAME copyright COMPONENT runtime)

# hostide's manual page, made from its --help by help2man (with the sections of hostide.h2m), and
# the changelog, compressed as Debian has them (gzip -9n: no file name, no time stamp).
find_program(ORVIK_HELP2MAN help2man REQUIRED)
find_program(ORVIK_GZIP gzip REQUIRED)
set(orvik_debian ${PROJECT_SOURCE_DIR}/cmake/debian)
set(orvik_docs ${CMAKE_BINARY_DIR}/docs)
add_custom_command(OUTPUT ${orvik_docs}/hostide.1.gz
  COMMAND ${CMAKE_COMMAND} -E make_directory ${orvik_docs}
  COMMAND ${ORVIK_HELP2MAN} --no-info --no-discard-stderr --version-string=${PROJECT_VERSION}
          "--name=stand-in IDE that runs the Orvik Palette Menu add-in"
          --include=${orvik_debian}/hostide.h2m
          --output=${orvik_docs}/hostide.1 $<TARGET_FILE:hostide>
  COMMAND ${ORVIK_GZIP} -9nf ${orvik_docs}/hostide.1
  DEPENDS hostide ${orvik_debian}/hostide.h2m
  COMMENT "Making hostide's manual page from its --help"
  VERBATIM)
add_custom_command(OUTPUT ${orvik_docs}/changelog.gz
  COMMAND ${CMAKE_COMMAND} -E copy ${orvik_debian}/changelog ${orvik_docs}/changelog
  COMMAND ${ORVIK_GZIP} -9nf ${orvik_docs}/changelog
  DEPENDS ${orvik_debian}/changelog
  VERBATIM)
add_custom_target(orvik_docs ALL DEPENDS ${orvik_docs}/hostide.1.gz ${orvik_docs}/changelog.gz)
install(FILES ${orvik_docs}/hostide.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
        COMPONENT runtime)
install(FILES ${orvik_docs}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/orvik-palette-menu COMPONENT runtime)
# The package's version is the changelog's latest entry.
file(STRINGS ${orvik_debian}/changelog orvik_changelog_top LIMIT_COUNT 1)
if(NOT orvik_changelog_top MATCHES "^orvik-palette-menu \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "cmake/debian/changelog: its latest entry is not for version "
                      "${PROJECT_VERSION}: ${orvik_changelog_top}")
endif()

# cmake --install into a staging root, and the installed hostide run from there (registered here,
# where the plugin's folder is known).
if(HOSTIDE_BUILD_TESTS)
  if(DEFINED ORVIK_DESIGNER_PLUGIN_DIR)
    set(orvik_plugin_dir_arg ${ORVIK_DESIGNER_PLUGIN_DIR})
  else()
    set(orvik_plugin_dir_arg -)
  endif()
  add_test(NAME install_tree
    COMMAND ${PROJECT_SOURCE_DIR}/tests/hosts/install_tree.sh ${CMAKE_BINARY_DIR}
            ${CMAKE_INSTALL_PREFIX} ${CMAKE_INSTALL_LIBDIR} ${orvik_plugin_dir_arg})
endif()

# cpack -G DEB (from a build configured with the package preset, whose prefix is /usr).
set(CPACK_PACKAGE_NAME orvik-palette-menu)
set(CPACK_PACKAGE_VENDOR "Orvik Palette Menu maintainers")
set(CPACK_PACKAGE_CONTACT "Orvik Palette Menu maintainers <maintainers@orvik-palette-menu.org>")
# Debian's lengths: a synopsis of at most 80 characters, description lines of at most 80.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "palette menu add-in for Qt Widgets Designer and Qt Creator")
set(CPACK_PACKAGE_DESCRIPTION
    "Files every tab of a form editor's widget palette under menu categories of
the user's own and offers them as a two-level Palette menu in the main menu
bar and in a drop-down button above the palette. Holds the form-editor plugin
for Qt Widgets Designer and Qt Creator, the add-in, its host libraries and
hostide, a stand-in IDE with a desktop window and a command shell.")
set(CPACK_PACKAGE_FILE_NAME "${CPACK_PACKAGE_NAME}_${PROJECT_VERSION}_amd64")
set(CPACK_PACKAGING_INSTALL_PREFIX "${CMAKE_INSTALL_PREFIX}")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://orvik-palette-menu.org/")
# The run-time dependencies come from the binaries themselves (dpkg-shlibdeps); the host
# libraries are this package's own, found through the staging folder.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
string(REGEX REPLACE "^/+" "" orvik_staged_private "${ORVIK_PRIVATE_FULL_LIBDIR}")
# dpkg-shlibdeps runs in the staging folder: the private folder, relative to it.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS "${orvik_staged_private}")
# The plugin is what most users install it for, but hostide runs without Designer.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "designer-qt6")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "qtcreator")
set(CPACK_GENERATOR DEB)
include(CPack)
