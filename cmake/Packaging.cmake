# What the package and `cmake --install` put beside the libraries: a manual page per tool, the
# examples' sources, the starter, the documentation and the Debian copyright and changelog; and
# CPack's settings for quillon_VERSION_amd64.deb (scripts/package builds it).
set(QUILLON_MAINTAINER "Quillon developers <quillon@example.invalid>" CACHE STRING
    "Maintainer named in the Debian package")
set(QUILLON_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/quillon)

# Manual pages, gzipped as Debian wants them; the version comes from the project.
find_program(GZIP gzip REQUIRED)
foreach(tool qpack qmo make-assets)
  configure_file(tools/${tool}/${tool}.1.in ${CMAKE_CURRENT_BINARY_DIR}/man/${tool}.1 @ONLY)
  add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/man/${tool}.1.gz
    COMMAND ${GZIP} -9nf -k ${CMAKE_CURRENT_BINARY_DIR}/man/${tool}.1
    DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/man/${tool}.1 VERBATIM)
  list(APPEND QUILLON_MAN_PAGES ${CMAKE_CURRENT_BINARY_DIR}/man/${tool}.1.gz)
endforeach()
configure_file(cmake/debian/changelog ${CMAKE_CURRENT_BINARY_DIR}/debian/changelog @ONLY)
add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/debian/changelog.gz
  COMMAND ${GZIP} -9nf -k ${CMAKE_CURRENT_BINARY_DIR}/debian/changelog
  DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/debian/changelog VERBATIM)
add_custom_target(quillon_docs ALL
  DEPENDS ${QUILLON_MAN_PAGES} ${CMAKE_CURRENT_BINARY_DIR}/debian/changelog.gz)

install(FILES ${QUILLON_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES README.md cmake/debian/copyright ${CMAKE_CURRENT_BINARY_DIR}/debian/changelog.gz
  DESTINATION ${QUILLON_DOC_DIR})
# README.md's links (docs/..., examples/..., templates/...) hold in the installed folder too.
install(DIRECTORY docs examples templates DESTINATION ${QUILLON_DOC_DIR}
  USE_SOURCE_PERMISSIONS PATTERN ".gitignore" EXCLUDE)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillon)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${QUILLON_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${QUILLON_MAINTAINER})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "runtime of the Quillon game language (static library, tools)")
# CPack indents these lines and writes the empty one as " .".
set(CPACK_PACKAGE_DESCRIPTION "Quillon programs are C++ programs linked with the static runtime library:
one window with an OpenGL context, frames paced on a fixed grid, sprites,
fonts, sound and music, keyboard, mouse and joysticks, files, a 3D mesh
engine, network games and an A* path finder.

This package holds the static libraries and headers, a CMake package
(find_package(Quillon)) and quillon.pc for pkg-config, the tools qpack,
qmo and make-assets, and the examples, the starter program and the
documentation under /usr/share/doc/quillon.")
# A program linking the runtime needs these libraries' development files; pkg-config finds them
# for the CMake package and for quillon.pc. GnuTLS is loaded when a program first uses TLS, so
# only its library is needed.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
  "pkg-config, libsdl2-dev, libsdl2-mixer-dev, libpng-dev, liblzo2-dev, libgnutls30, libavformat-dev, libavcodec-dev, libswscale-dev, libavutil-dev, libswresample-dev, libgl-dev")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "g++ (>= 4:12), cmake (>= 3.20), timgm6mb-soundfont")
# The tools' own shared libraries (SDL2, the mixer, assimp, ...) come from their ELF headers.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
