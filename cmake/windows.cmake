# The 32-bit Windows program, cross-built with mingw-w64
# (cmake/toolchain-mingw32.cmake).

enable_language(RC)

# The runtime goes into every executable (C, C++ and winpthreads), so that
# keyconfig.exe, and each test program, runs from any folder with nothing but
# the system DLLs.
add_link_options(-static -static-libgcc -static-libstdc++)

include(cmake/common.cmake)

# The Windows side of the shell: how a failure to start is shown.
add_library(kc_win32_shell STATIC shell/win32/fatal_error_win32.cpp shell/win32/profile_batch_win32.cpp)
target_link_libraries(kc_win32_shell PUBLIC kc_win32_api)
target_link_libraries(kc_app PUBLIC kc_win32_shell)

# The system DLLs the program and the framework call.
add_library(kc_win32_system INTERFACE)
target_link_libraries(kc_win32_system INTERFACE user32 kernel32 winmm shlwapi)
target_link_libraries(kc_framework PUBLIC kc_win32_system)

# WIN32: a GUI program (subsystem windows), entered through WinMain.
add_executable(keyconfig WIN32
  shell/win32/winmain.cpp
  resources/keyconfig.rc
  shell/win32/manifest.rc)
target_link_libraries(keyconfig PRIVATE kc_app)
set_target_properties(keyconfig PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
set_property(SOURCE shell/win32/manifest.rc APPEND PROPERTY OBJECT_DEPENDS
  ${CMAKE_SOURCE_DIR}/shell/win32/keyconfig.manifest)

add_subdirectory(tests/windows)
add_subdirectory(tests/differential)
