// Any bytes as a settings file: finding a value never reads outside the file
// and hands back a view into it that has no blanks around it.
#include "profile/profile_file.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    // The first line of the input picks the names looked up, so that the
    // fuzzer can reach sections and keys it invents.
    std::string_view section = "KeyConfig", key = "Key1";
    if (auto cut = bytes.find('\n'); cut != std::string_view::npos && cut < 64) {
        std::string_view names = bytes.substr(0, cut);
        if (auto eq = names.find('='); eq != std::string_view::npos) {
            section = names.substr(0, eq);
            key = names.substr(eq + 1);
        }
    }
    section = shell::profile::TrimNameParameter(section);
    key = shell::profile::TrimNameParameter(key);
    if (shell::profile::IsUtf16(bytes)) return 0;
    auto value = shell::profile::FindValue(bytes, section, key);
    if (!value || value->empty()) return 0;
    if (value->data() < bytes.data() || value->data() + value->size() > bytes.data() + bytes.size()) std::abort();
    char first = value->front(), last = value->back();
    if (first == ' ' || first == '\t' || first == '\v' || last == ' ' || last == '\t' || last == '\v') {
        // Blanks may remain only inside a pair of quotes that was removed.
        char before = *(value->data() - 1), after = value->data()[value->size()];
        if (!((before == '"' || before == '\'') && before == after)) std::abort();
    }
    return 0;
}
