# Libraries without CMake package files are found by hand and wrapped in imported targets.
find_path(FREEIMAGE_INCLUDE_DIR FreeImage.h REQUIRED)
find_library(FREEIMAGE_LIBRARY NAMES freeimage REQUIRED)
add_library(FreeImage::FreeImage UNKNOWN IMPORTED)
set_target_properties(FreeImage::FreeImage PROPERTIES
    IMPORTED_LOCATION "${FREEIMAGE_LIBRARY}"
    INTERFACE_INCLUDE_DIRECTORIES "${FREEIMAGE_INCLUDE_DIR}")

find_path(SHAPELIB_INCLUDE_DIR shapefil.h REQUIRED)
find_library(SHAPELIB_LIBRARY NAMES shp REQUIRED)
add_library(Shapelib::Shapelib UNKNOWN IMPORTED)
set_target_properties(Shapelib::Shapelib PROPERTIES
    IMPORTED_LOCATION "${SHAPELIB_LIBRARY}"
    INTERFACE_INCLUDE_DIRECTORIES "${SHAPELIB_INCLUDE_DIR}")

find_package(PkgConfig REQUIRED)
pkg_check_modules(SANE REQUIRED IMPORTED_TARGET sane-backends)
# OpenCV's image processing does the resampling of the picture operations.
pkg_check_modules(OPENCV REQUIRED IMPORTED_TARGET opencv4)
