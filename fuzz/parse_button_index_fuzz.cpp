// ParseButtonIndex on any text: the same result as a plain reading with
// strtoll (C locale, saturated at the 32-bit bounds), and no undefined
// behaviour on any input.
#include "keyconfig/key_bindings.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

std::int32_t Reference(const std::string& text) {
    const char* p = text.c_str();
    // strtoll also takes "0x" and locale blanks; keep it to what the parser
    // promises: C blanks, one sign, then decimal digits.
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
    const char* digits = p + ((*p == '+' || *p == '-') ? 1 : 0);
    if (*digits < '0' || *digits > '9') return 0;
    std::string decimal(p, digits);
    while (*digits >= '0' && *digits <= '9') decimal += *digits++;
    errno = 0;
    long long value = std::strtoll(decimal.c_str(), nullptr, 10);
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<std::int32_t>(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);  // cut at the first NUL, as C text
    text = text.c_str();
    if (ParseButtonIndex(text.c_str()) != Reference(text)) std::abort();
    return 0;
}
