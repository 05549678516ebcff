// The four binding slots, the button labels and the settings file
// keyconfig.ini that keeps the bindings between runs.
#pragma once

#include "shell/app_shell.h"

#include <cstdint>

constexpr int kSlotCount = 4;

// The slot table: settings key and default button index of each slot.
inline constexpr const char* kSlotKeys[kSlotCount] = {"Key1", "Key2", "Key3", "Key4"};
inline constexpr std::int32_t kSlotDefaults[kSlotCount] = {0, 1, 3, 4};

inline constexpr const char* kSettingsSection = "KeyConfig";
inline constexpr const char* kSettingsFileName = "keyconfig.ini";

// The process-wide full name of the settings file; all zero until resolved.
extern char g_iniPath[MAX_PATH];

// Returns the settings file's name: keyconfig.ini in the directory that was
// current at the first call. Where that absolute name cannot be formed (no
// current directory, or a name too long for MAX_PATH) it is the relative name
// "keyconfig.ini". Resolved once; later calls return the same buffer.
const char* GetIniPath();

// The result of one load: the four button indices in slot order.
struct SlotButtons {
    std::int32_t buttons[kSlotCount];
};

// Reads Key1..Key4 of section KeyConfig, each slot taking its default where
// the file, the section or the key is missing. Never writes the file.
SlotButtons LoadBindings();

// Writes the four indices to Key1..Key4, in that order, every key whether
// changed or not, in one profile write batch: on Linux the file takes all
// four or, on any failure, none; on Windows each write reaches the file as it
// is made and a failed one does not stop the next. Returns true when all four
// were written; otherwise false, with the thread's last error set to the
// first failure's code.
bool SaveBindings(const std::int32_t (&buttons)[kSlotCount]);

// The label that names a button index to the player: "Pad%d" of index + 1,
// the addition wrapping in 32 bits. `out` gets at most 15 bytes with its NUL.
void FormatButtonLabel(std::int32_t index, char (&out)[64]);

// The button index a stored value text denotes: leading blanks skipped, one
// optional sign, ASCII digits up to the first other byte; 0 when there is no
// digit; saturated at the 32-bit bounds. Never fails.
std::int32_t ParseButtonIndex(const char* text);
