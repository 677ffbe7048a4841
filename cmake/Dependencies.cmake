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

# Tracing: potrace's library finds the outlines. OpenCV wraps the picture rows, converts them to
# grey levels and resamples them for the picture operations. Only the OpenCV modules these use
# are linked, not the whole suite.
find_path(POTRACE_INCLUDE_DIR potracelib.h REQUIRED)
find_library(POTRACE_LIBRARY NAMES potrace REQUIRED)
add_library(Potrace::Potrace UNKNOWN IMPORTED)
set_target_properties(Potrace::Potrace PROPERTIES
    IMPORTED_LOCATION "${POTRACE_LIBRARY}"
    INTERFACE_INCLUDE_DIRECTORIES "${POTRACE_INCLUDE_DIR}")

find_path(OPENCV_INCLUDE_DIR opencv2/core.hpp PATH_SUFFIXES opencv4 REQUIRED)
add_library(OpenCV::ImgProc INTERFACE IMPORTED)
set_target_properties(OpenCV::ImgProc PROPERTIES INTERFACE_INCLUDE_DIRECTORIES "${OPENCV_INCLUDE_DIR}")
foreach(component core imgproc)
    find_library(OPENCV_${component}_LIBRARY NAMES opencv_${component} REQUIRED)
    target_link_libraries(OpenCV::ImgProc INTERFACE "${OPENCV_${component}_LIBRARY}")
endforeach()

# The editor asks the X server which keys are down (the left Ctrl key) through Qt's own X
# connection.
pkg_check_modules(XCB REQUIRED IMPORTED_TARGET xcb)

# PDF pages are rendered into pictures by Poppler.
pkg_check_modules(POPPLER REQUIRED IMPORTED_TARGET poppler-qt6)
