# libyuv, the SIMD pixel format converters (Debian's libyuv-dev ships no pkg-config file).
# Defines the imported target Libyuv::Libyuv.
find_path(LIBYUV_INCLUDE_DIR libyuv.h)
find_library(LIBYUV_LIBRARY yuv)
include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(Libyuv REQUIRED_VARS LIBYUV_LIBRARY LIBYUV_INCLUDE_DIR)
if(Libyuv_FOUND AND NOT TARGET Libyuv::Libyuv)
    add_library(Libyuv::Libyuv UNKNOWN IMPORTED)
    set_target_properties(Libyuv::Libyuv PROPERTIES
        IMPORTED_LOCATION "${LIBYUV_LIBRARY}"
        INTERFACE_INCLUDE_DIRECTORIES "${LIBYUV_INCLUDE_DIR}")
endif()
mark_as_advanced(LIBYUV_INCLUDE_DIR LIBYUV_LIBRARY)
