#include "keyconfig/key_bindings.h"

#include <cstdio>
#include <cstring>

char g_iniPath[MAX_PATH];

namespace {

// The value text of a button index, as "%d" writes it (at most 11 bytes).
void FormatIndex(std::int32_t index, char (&out)[32]) { std::snprintf(out, sizeof out, "%d", static_cast<int>(index)); }

}  // namespace

const char* GetIniPath() {
    if (g_iniPath[0] != '\0') return g_iniPath;
    char path[MAX_PATH] = {};
    DWORD length = GetCurrentDirectoryA(static_cast<DWORD>(sizeof path), path);
    // A failed query (0), a directory too long for the buffer (its needed size)
    // or a join that does not fit would leave a directory or a cut name; the
    // relative name at least still means the current directory's file.
    if (length == 0 || length >= sizeof path || !PathAppendA(path, kSettingsFileName))
        std::snprintf(path, sizeof path, "%s", kSettingsFileName);
    std::memcpy(g_iniPath, path, sizeof path);
    return g_iniPath;
}

SlotButtons LoadBindings() {
    SlotButtons result{};
    for (int slot = 0; slot < kSlotCount; ++slot) {
        char defaultText[32];
        FormatIndex(kSlotDefaults[slot], defaultText);
        char value[32] = {};
        GetPrivateProfileStringA(kSettingsSection, kSlotKeys[slot], defaultText, value, sizeof value, GetIniPath());
        result.buttons[slot] = ParseButtonIndex(value);
    }
    return result;
}

bool SaveBindings(const std::int32_t (&buttons)[kSlotCount]) {
    // Where the profile service can, the four keys reach the file as one
    // change, so that a save cut short leaves the old bindings, not some old
    // and some new.
    CProfileWriteBatch batch(GetIniPath());
    bool allWritten = true;
    DWORD firstError = ERROR_SUCCESS;
    for (int slot = 0; slot < kSlotCount; ++slot) {
        char value[32];
        FormatIndex(buttons[slot], value);
        if (!WritePrivateProfileStringA(kSettingsSection, kSlotKeys[slot], value, GetIniPath()) && allWritten) {
            allWritten = false;
            firstError = GetLastError();
        }
    }
    if (!batch.Commit() && allWritten) {
        allWritten = false;
        firstError = GetLastError();
    }
    if (!allWritten) SetLastError(firstError);
    return allWritten;
}

void FormatButtonLabel(std::int32_t index, char (&out)[64]) {
    // Index + 1 wraps in 32 bits (INT32_MAX names "Pad-2147483648"); done in
    // unsigned arithmetic, where wrapping is defined.
    auto shown = static_cast<std::int32_t>(static_cast<std::uint32_t>(index) + 1u);
    std::snprintf(out, sizeof out, "Pad%d", static_cast<int>(shown));
}

std::int32_t ParseButtonIndex(const char* text) {
    if (text == nullptr) return 0;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\v' || *p == '\f' || *p == '\r') ++p;
    bool negative = false;
    if (*p == '-' || *p == '+') {
        negative = *p == '-';
        ++p;
    }
    if (*p < '0' || *p > '9') return 0;
    // Accumulate in 64 bits and stop as soon as the magnitude is past any
    // 32-bit bound, so that no run of digits can overflow.
    constexpr std::uint64_t kPastBounds = 0x100000000ull;
    std::uint64_t magnitude = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        magnitude = magnitude * 10 + (*p - '0');
        if (magnitude >= kPastBounds) magnitude = kPastBounds;
    }
    if (negative) return magnitude >= 0x80000000ull ? INT32_MIN : -static_cast<std::int32_t>(magnitude);
    return magnitude > 0x7FFFFFFFull ? INT32_MAX : static_cast<std::int32_t>(magnitude);
}
