// Helpers shared by the parts of the Linux layer; not seen by keyconfig.
#pragma once

#include "win32_api.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace shell {

// Last-error codes of the layer's own (customer bit 29 set, as Win32 allows).
constexpr DWORD ERROR_KC_DISPLAY_UNAVAILABLE = 0x20000001u;
constexpr DWORD ERROR_KC_TEMPLATE_MISSING = 0x20000002u;
constexpr DWORD ERROR_KC_NOT_ENOUGH_MEMORY = 0x20000003u;

// Sets the thread's last error together with the sentence that FormatMessageW
// gives for it, for failures that have no errno.
void SetLastErrorWithText(DWORD code, std::string_view utf8Text);

std::string WideToUtf8(const WCHAR* text);
std::wstring Utf8ToWide(std::string_view text);
std::string Utf16LeToUtf8(const std::uint8_t* bytes, std::size_t units);

// The dialog template resource `id` of the program's own image. Defined by
// the program's resources (resources/dialog_resource_linux.cpp). Returns false
// when the image has no such template.
bool FindDialogResource(WORD id, std::vector<std::uint8_t>& bytes);

// Writes one line to stderr, for errors that cannot reach a window.
void ReportToStderr(std::string_view utf8Line);

}  // namespace shell
