# Backends: folders (or single files) that each hold one system's or one library's side of
# a portable header. A layer compiles only the backends chosen for the system being built
# for; the others are left out, whichever layer folder they sit in.
set(HALVEK_LINUX_BACKENDS
    src/platform/linux src/platform/curl src/device/hid/hidraw
    src/device/hid/sim/unix_stream.cpp
    src/ui/cairo src/ui/sdl src/ui/sni companion/audio/pulse cli/light_png.cpp)
set(HALVEK_WINDOWS_BACKENDS
    src/platform/windows src/platform/winhttp src/device/hid/windows src/device/hid/sim/windows
    cli/windows tests/platform/windows tests/device/hid/windows)
if(WIN32)
    set(HALVEK_BACKENDS ${HALVEK_WINDOWS_BACKENDS})
else()
    set(HALVEK_BACKENDS ${HALVEK_LINUX_BACKENDS})
endif()
set(HALVEK_ALL_BACKENDS ${HALVEK_LINUX_BACKENDS} ${HALVEK_WINDOWS_BACKENDS})

# Leaves out of `list_name` every file in a backend folder not chosen for this system.
function(halvek_drop_other_backends list_name root)
    set(kept ${${list_name}})
    foreach(backend ${HALVEK_ALL_BACKENDS})
        if(NOT backend IN_LIST HALVEK_BACKENDS)
            list(FILTER kept EXCLUDE REGEX "^${root}/${backend}(/|$)")
        endif()
    endforeach()
    set(${list_name} ${kept} PARENT_SCOPE)
endfunction()

# halvek_layer(NAME DIRS dir... [FILES file...] [EXCLUDE file...] [DEPS layer...] [LIBS target...])
# A static library halvek_NAME of every .cpp below DIRS (minus the backends of other
# systems) and the single FILES; an INTERFACE library while the layer has no sources yet,
# so later layers can already name it.
function(halvek_layer name)
    cmake_parse_arguments(L "" "" "DIRS;FILES;EXCLUDE;DEPS;LIBS" ${ARGN})
    set(sources)
    foreach(dir ${L_DIRS})
        file(GLOB_RECURSE found CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.cpp)
        list(APPEND sources ${found})
    endforeach()
    halvek_drop_other_backends(sources ${CMAKE_SOURCE_DIR})
    foreach(file ${L_FILES})
        list(APPEND sources ${CMAKE_SOURCE_DIR}/${file})
    endforeach()
    foreach(excluded ${L_EXCLUDE})
        list(REMOVE_ITEM sources ${CMAKE_SOURCE_DIR}/${excluded})
    endforeach()
    set(deps)
    foreach(dep ${L_DEPS})
        list(APPEND deps halvek_${dep})
    endforeach()
    if(sources)
        add_library(halvek_${name} STATIC ${sources})
        target_include_directories(halvek_${name} PUBLIC ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR})
        target_link_libraries(halvek_${name} PUBLIC ${deps} ${L_LIBS})
    else()
        add_library(halvek_${name} INTERFACE)
        target_include_directories(halvek_${name} INTERFACE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR})
        target_link_libraries(halvek_${name} INTERFACE ${deps} ${L_LIBS})
    endif()
endfunction()

# The folders the tests find the sources and the built programs in, as the tests see them:
# Wine shows the build machine's root as drive Z:.
if(WIN32)
    set(HALVEK_TEST_SOURCE_DIR "Z:${CMAKE_SOURCE_DIR}")
    set(HALVEK_TEST_BINARY_DIR "Z:${CMAKE_BINARY_DIR}")
else()
    set(HALVEK_TEST_SOURCE_DIR "${CMAKE_SOURCE_DIR}")
    set(HALVEK_TEST_BINARY_DIR "${CMAKE_BINARY_DIR}")
endif()

# Every Windows test runs in the build's own Wine prefix, never the user's ~/.wine; the
# prefix is made once, before the first test, as making it takes a while.
set(HALVEK_WINE_ENVIRONMENT "WINEPREFIX=${CMAKE_BINARY_DIR}/wine-prefix;WINEDEBUG=-all")

# halvek_tests(NAME DIRS dir... DEPS layer... [NOT_ON_WINDOWS file...] [WINDOWS_SHARDS n])
# One GoogleTest executable NAME_tests of every *_test.cpp below DIRS (and any
# helper .cpp there), each test a ctest case. On Windows the NOT_ON_WINDOWS files are left
# out (the README says why for each) and the whole executable is one ctest case under the
# emulator: Wine starts too slowly for a process per case.
function(halvek_tests name)
    cmake_parse_arguments(T "" "WINDOWS_SHARDS" "DIRS;DEPS;NOT_ON_WINDOWS" ${ARGN})
    set(sources)
    foreach(dir ${T_DIRS})
        file(GLOB_RECURSE found CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.cpp)
        list(APPEND sources ${found})
    endforeach()
    halvek_drop_other_backends(sources ${CMAKE_SOURCE_DIR})
    if(WIN32)
        foreach(excluded ${T_NOT_ON_WINDOWS})
            list(REMOVE_ITEM sources ${CMAKE_CURRENT_SOURCE_DIR}/${excluded})
        endforeach()
    endif()
    if(NOT sources)
        return()
    endif()
    set(deps)
    foreach(dep ${T_DEPS})
        list(APPEND deps halvek_${dep})
    endforeach()
    add_executable(${name}_tests ${sources})
    target_include_directories(${name}_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
    target_link_libraries(${name}_tests PRIVATE ${deps} halvek_test_support GTest::gtest_main GTest::gmock)
    target_compile_definitions(${name}_tests PRIVATE
        HALVEK_SOURCE_DIR="${HALVEK_TEST_SOURCE_DIR}" HALVEK_BINARY_DIR="${HALVEK_TEST_BINARY_DIR}")
    if(WIN32 AND T_WINDOWS_SHARDS)
        # Suites of many program runs are cut in GoogleTest's shards, which ctest runs side
        # by side with the other suites.
        math(EXPR last "${T_WINDOWS_SHARDS} - 1")
        foreach(shard RANGE ${last})
            add_test(NAME ${name}_tests_${shard} COMMAND ${name}_tests --gtest_brief=1)
            set_tests_properties(${name}_tests_${shard} PROPERTIES
                ENVIRONMENT "HALVEK_SOURCE_DIR=${HALVEK_TEST_SOURCE_DIR};${HALVEK_WINE_ENVIRONMENT};GTEST_TOTAL_SHARDS=${T_WINDOWS_SHARDS};GTEST_SHARD_INDEX=${shard}"
                FIXTURES_REQUIRED wine_prefix TIMEOUT 900)
        endforeach()
    elseif(WIN32)
        add_test(NAME ${name}_tests COMMAND ${name}_tests --gtest_brief=1)
        set_tests_properties(${name}_tests PROPERTIES
            ENVIRONMENT "HALVEK_SOURCE_DIR=${HALVEK_TEST_SOURCE_DIR};${HALVEK_WINE_ENVIRONMENT}"
            FIXTURES_REQUIRED wine_prefix TIMEOUT 900)
    else()
        gtest_discover_tests(${name}_tests DISCOVERY_TIMEOUT 60
            PROPERTIES ENVIRONMENT "HALVEK_SOURCE_DIR=${CMAKE_SOURCE_DIR}")
    endif()
endfunction()
