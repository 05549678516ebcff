// Resource and control ids of keyconfig. Plain #defines, so that the resource
// compiler of the Windows build reads the same names as the C++ code.
#pragma once

#define IDD_MAINFORM 101

#define IDC_SLOT1 1002
#define IDC_SLOT2 1003
#define IDC_SLOT3 1004
#define IDC_SLOT4 1005

// The window system's own dialog control classes, as the ordinals a dialog
// template names them by.
#define KC_CLASS_BUTTON 0x0080
#define KC_CLASS_EDIT 0x0081
#define KC_CLASS_STATIC 0x0082

// Language of the dialog resource: Japanese (LANG_JAPANESE, SUBLANG_DEFAULT).
#define KC_LANG_JAPANESE 0x11
#define KC_SUBLANG_DEFAULT 0x01
#define KC_LANGID_JAPANESE 0x0411
