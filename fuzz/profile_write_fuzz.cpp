// Any file, then a write of one of keyconfig's keys: reading the key back
// gives the written value, and every byte outside the splice is kept.
#include "profile/profile_file.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    static constexpr const char* kKeys[] = {"Key1", "Key2", "Key3", "Key4"};
    std::string_view key = kKeys[data[0] % 4];
    // The value is a button index as the program writes it, from the second
    // byte on; the rest is the file.
    std::string value = std::to_string(static_cast<int>(data[1]) - 128);
    std::string_view bytes(reinterpret_cast<const char*>(data) + 2, size - 2);
    if (shell::profile::IsUtf16(bytes)) return 0;

    shell::profile::Edit edit = shell::profile::PlanWrite(bytes, "KeyConfig", key, value);
    if (edit.offset > bytes.size() || edit.removed > bytes.size() - edit.offset) std::abort();
    std::string after(bytes.substr(0, edit.offset));
    after += edit.inserted;
    after += bytes.substr(edit.offset + edit.removed);

    auto read = shell::profile::FindValue(after, "KeyConfig", key);
    if (!read || *read != value) std::abort();
    // The splice is the only change: what is left of it and right of it are
    // the old file's bytes (checked by construction above) and the inserted
    // text lies within one line, or starts a new one.
    if (edit.removed > 0 && bytes.substr(edit.offset, edit.removed).find('\n') != std::string_view::npos) std::abort();
    return 0;
}
