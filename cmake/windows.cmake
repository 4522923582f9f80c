# The shipped program: a GUI program for every 32-bit Windows from 95 and
# NT 4.0 on. It links no C runtime (its string work goes through KERNEL32
# and USER32) and imports only from KERNEL32, USER32, GDI32, ADVAPI32 and
# SHELL32, so nothing has to be installed beside it.
enable_language(RC)

# i486 code: NT 4.0 needs a 486, and no instruction newer than that is
# worth the risk on the oldest machines the program runs on.
set(WINDOWS_FLAGS -Wall -Wextra -Werror -Os -march=i486 -mtune=generic
  -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables
  -fno-stack-protector -fno-threadsafe-statics)

add_library(setup_system STATIC ${SYSTEM_SOURCES})
target_include_directories(setup_system PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_options(setup_system PUBLIC ${WINDOWS_FLAGS})

add_executable(setup WIN32 setup/startup_win32.cpp setup/setup.rc)
target_link_libraries(setup PRIVATE setup_system)
target_link_options(setup PRIVATE
  -nostdlib -nostartfiles -static -s
  -Wl,--entry,_WinMainStartup
  -Wl,--subsystem,windows:4.0
  -Wl,--major-os-version,4 -Wl,--minor-os-version,0
  -Wl,--no-insert-timestamp)
target_link_libraries(setup PRIVATE
  kernel32 user32 gdi32 advapi32 shell32 gcc)
set_target_properties(setup PROPERTIES
  OUTPUT_NAME setup
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

# answerer.exe, the user of setup.exe in the Wine scenarios.
add_subdirectory(tests/e2e)
