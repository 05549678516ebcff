find_package(PkgConfig REQUIRED)
find_package(GTest REQUIRED)
find_package(Threads REQUIRED)
pkg_check_modules(GTK3 REQUIRED IMPORTED_TARGET gtk+-3.0)
pkg_check_modules(SDL2 REQUIRED IMPORTED_TARGET sdl2)

# The process-level calls every part of the Linux layer shares.
add_library(kc_linux_base STATIC shell/linux/last_error.cpp shell/linux/text_utf8.cpp)
target_link_libraries(kc_linux_base PUBLIC kc_win32_api)

include(cmake/common.cmake)

# The window system core: queue, windows, focus, timers, dialog manager.
add_library(kc_window_core STATIC
  shell/linux/window_system.cpp
  shell/linux/fatal_error_linux.cpp
  resources/dialog_resource_linux.cpp)
target_include_directories(kc_window_core PUBLIC shell/linux)
target_link_libraries(kc_window_core PUBLIC kc_linux_base kc_resources)

add_library(kc_display_headless STATIC shell/linux/headless/display_headless.cpp)
target_link_libraries(kc_display_headless PUBLIC kc_window_core)

add_subdirectory(shell/linux/profile)
add_subdirectory(shell/linux/joystick)
add_subdirectory(shell/linux/gtk)

# Links a Linux program: the application with the core, one display backend
# and one joystick service. The core and the backend call each other, so the
# static libraries are searched as one group.
function(kc_link_linux_program target display joystick)
  target_link_libraries(${target} PRIVATE
    "$<LINK_GROUP:RESCAN,kc_app,kc_framework,kc_window_core,${display},kc_profile,${joystick},kc_resources,kc_linux_base>")
endfunction()

add_executable(keyconfig shell/linux/main_linux.cpp)
kc_link_linux_program(keyconfig kc_display_gtk kc_joystick_sdl)
set_target_properties(keyconfig PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

add_subdirectory(tests)
