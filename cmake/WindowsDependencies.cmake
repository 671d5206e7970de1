# The Windows cross build's libraries. Debian has no MinGW builds of them, so they are
# built here from Debian's own sources: jsoncpp from its source package (unpacked by
# scripts/install-deps.sh into build/deb-src), GoogleTest from /usr/src/googletest.
# Everything links statically, so the programs need only system DLLs beside them.

set(HALVEK_DEB_SRC ${CMAKE_SOURCE_DIR}/build/deb-src CACHE PATH
    "Where the Debian source packages of jsoncpp and pugixml are unpacked")
file(GLOB HALVEK_JSONCPP_SOURCE LIST_DIRECTORIES true ${HALVEK_DEB_SRC}/libjsoncpp-*)
if(NOT HALVEK_JSONCPP_SOURCE)
    message(FATAL_ERROR "No jsoncpp source in ${HALVEK_DEB_SRC}: run scripts/install-deps.sh")
endif()
list(GET HALVEK_JSONCPP_SOURCE 0 HALVEK_JSONCPP_SOURCE)

# Third-party code keeps its own warnings; -Werror is for ours.
set(JSONCPP_WITH_TESTS OFF CACHE BOOL "" FORCE)
set(JSONCPP_WITH_POST_BUILD_UNITTEST OFF CACHE BOOL "" FORCE)
set(JSONCPP_WITH_PKGCONFIG_SUPPORT OFF CACHE BOOL "" FORCE)
set(JSONCPP_WITH_CMAKE_PACKAGE OFF CACHE BOOL "" FORCE)
set(BUILD_SHARED_LIBS OFF CACHE BOOL "" FORCE)
set(BUILD_OBJECT_LIBS OFF CACHE BOOL "" FORCE)
# jsoncpp would move every program of the build into bin/; they stay where tests look.
foreach(kind ARCHIVE LIBRARY RUNTIME)
    set(CMAKE_${kind}_OUTPUT_DIRECTORY "" CACHE PATH "")
endforeach()
add_subdirectory(${HALVEK_JSONCPP_SOURCE} ${CMAKE_BINARY_DIR}/deps/jsoncpp EXCLUDE_FROM_ALL)
target_compile_options(jsoncpp_static PRIVATE -Wno-error)
set(HALVEK_JSONCPP jsoncpp_static)

if(HALVEK_TESTS)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/deps/googletest EXCLUDE_FROM_ALL)
    foreach(target gtest gtest_main gmock gmock_main)
        target_compile_options(${target} PRIVATE -Wno-error)
    endforeach()
endif()

# One program for every Windows build: no console window flashes for a GUI-less helper,
# no DLLs of the compiler to ship, and the Unicode entry points of the system's API.
# The C runtime's localtime_r and friends, which the portable code uses as on Linux.
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0A00
                        _POSIX_THREAD_SAFE_FUNCTIONS=200112L)
add_link_options(-static -static-libgcc -static-libstdc++)
