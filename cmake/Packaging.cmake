# `make package` (cpack -G DEB): one Debian package holding both programs and the shipped data.
# The library dependencies come from dpkg-shlibdeps, so the package asks for exactly the Qt,
# FreeImage, shapelib and SANE libraries the programs were linked with; what the programs load
# at run time without linking against it is named by hand.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME linovex)
set(CPACK_PACKAGE_VENDOR Mervane)
set(CPACK_PACKAGE_CONTACT "Linovex maintainers <maintainers@linovex.io>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "trace pictures by hand into vector drawings for cutting machines")
set(CPACK_PACKAGE_DESCRIPTION
    "Linovex is a desktop editor for tracing raster pictures by hand into vector drawings with\n\
lines, Bezier curves and ellipses. Drawings are exported as DXF with splines, as DXF for CNC\n\
machines with circular arcs written as polyline bulges, as EMF, SVG and pictures. The\n\
headless converter linovex-export writes the same exports from saved projects.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://linovex.io/)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads the SVG icon engine (for the tool bar icons, in libqt6svg6) and the extra image
# readers as plugins, which dpkg-shlibdeps cannot see, since the linker drops a library whose
# symbols the program never calls.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6, qt6-image-formats-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, qt6-translations-l10n")

include(CPack)
