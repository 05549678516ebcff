# The parts that are the same source on Windows and Linux.

# The dialog framework (module, message loop, dialog base).
add_library(kc_framework STATIC shell/dialog_framework.cpp)
target_link_libraries(kc_framework PUBLIC kc_win32_api)

# The dialog template, serialised from resources/mainform_template.inc.
add_library(kc_resources STATIC resources/dialog_template.cpp)
target_link_libraries(kc_resources PUBLIC kc_win32_api)

# keyconfig itself and its entry.
add_library(kc_app STATIC
  keyconfig/key_bindings.cpp
  keyconfig/main_form.cpp
  keyconfig/button_capture.cpp
  shell/app_entry.cpp)
target_link_libraries(kc_app PUBLIC kc_framework)
