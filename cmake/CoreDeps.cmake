# System libraries the core's layers link.  libzip is found directly: the
# package's CMake files on Debian refer to tools that are packaged apart.
find_path(LIBZIP_INCLUDE_DIR zip.h REQUIRED)
find_library(LIBZIP_LIBRARY zip REQUIRED)
target_include_directories(vardelon_archive SYSTEM PUBLIC ${LIBZIP_INCLUDE_DIR})
target_link_libraries(vardelon_archive PUBLIC ${LIBZIP_LIBRARY})
# The header array reader checks a large array on a thread of its own.
find_package(Threads REQUIRED)
target_link_libraries(vardelon_formats PUBLIC Threads::Threads)
