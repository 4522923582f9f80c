# The Linux test bench: the program against the Win32 emulation, under the
# address and undefined-behaviour sanitizers, with every host test.
enable_testing()
find_package(GTest REQUIRED)

set(HOST_FLAGS -Wall -Wextra -Werror -fsanitize=address,undefined
               -fno-sanitize-recover=all -fno-omit-frame-pointer)

file(GLOB HOST_EMULATION_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/platform/host/*.cpp)
add_library(host_win32 STATIC ${HOST_EMULATION_SOURCES})
target_include_directories(host_win32 PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_options(host_win32 PUBLIC ${HOST_FLAGS})
target_link_options(host_win32 PUBLIC -fsanitize=address,undefined)

add_library(setup_system STATIC ${SYSTEM_SOURCES})
target_link_libraries(setup_system PUBLIC host_win32)

file(GLOB UNIT_TEST_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/tests/unit/*.cpp)
add_executable(unit_tests ${UNIT_TEST_SOURCES})
target_link_libraries(unit_tests PRIVATE setup_system GTest::gtest_main)
target_compile_definitions(unit_tests PRIVATE
  SOURCE_ROOT="${CMAKE_SOURCE_DIR}")

include(GoogleTest)
gtest_discover_tests(unit_tests WORKING_DIRECTORY ${CMAKE_SOURCE_DIR})
