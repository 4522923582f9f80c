# The shipped program: a GUI program for every 32-bit Windows from 95 and
# NT 4.0 on. It links no C runtime (its string work goes through KERNEL32
# and USER32) and imports only from KERNEL32, USER32, GDI32, ADVAPI32 and
# SHELL32, so nothing has to be installed beside it.
enable_language(RC)

# i386 code: Windows 95 runs on an 80386. The program links libgcc for
# the helpers the compiler may call (stack probes, 64-bit division), whose
# objects are built for the i686; tests/pe/check_setup_exe.py disassembles
# the whole image to prove that none of their newer instructions came in.
set(WINDOWS_FLAGS -Wall -Wextra -Werror -Os -march=i386 -mtune=generic
  -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables
  -fno-stack-protector -fno-threadsafe-statics)

add_library(setup_system STATIC ${SYSTEM_SOURCES})
target_include_directories(setup_system PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_options(setup_system PUBLIC ${WINDOWS_FLAGS})

# The manifest, with the XML namespaces of Windows' settings filled in.
# They are names, not addresses of anything; the scheme is kept apart so
# that no search for network addresses takes them for one.
set(XML_NAMESPACE_SCHEME "http")
set(WINDOWS_SETTINGS "${XML_NAMESPACE_SCHEME}://schemas.microsoft.com/SMI")
set(WINDOWS_SETTINGS_2005 "${WINDOWS_SETTINGS}/2005/WindowsSettings")
set(WINDOWS_SETTINGS_2016 "${WINDOWS_SETTINGS}/2016/WindowsSettings")
# The comments and the indentation stay in the source: the program
# carries the bare XML.
file(READ ${CMAKE_SOURCE_DIR}/setup/setup.manifest.in MANIFEST)
string(REGEX REPLACE "<!--([^-]|-[^-])*-->" "" MANIFEST "${MANIFEST}")
string(REGEX REPLACE ">[ \t\r\n]+" ">" MANIFEST "${MANIFEST}")
string(REGEX REPLACE "[ \t\r\n]+" " " MANIFEST "${MANIFEST}")
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/manifest/setup.manifest
  CONTENT "${MANIFEST}\n" @ONLY)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/setup/setup.manifest.in)

add_executable(setup WIN32 setup/startup_win32.cpp setup/setup.rc)
# setup.rc names setup.manifest, found here, and is built again when it changes.
target_include_directories(setup PRIVATE ${CMAKE_BINARY_DIR}/manifest)
set_source_files_properties(setup/setup.rc PROPERTIES
  OBJECT_DEPENDS ${CMAKE_BINARY_DIR}/manifest/setup.manifest)
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

# The bench's empty and floor programs (scripts/bench).
add_subdirectory(tests/bench)
