// The bytes of the dialog template IDD_MAINFORM in the classic layout
// (DLGTEMPLATE followed by DWORD-aligned DLGITEMTEMPLATE items), as the
// resource compiler of the Windows build lays them out.
#pragma once

#include <cstdint>
#include <vector>

namespace resources {

// Returns the template bytes of IDD_MAINFORM. Never throws: on lack of memory
// the result is empty.
std::vector<std::uint8_t> BuildMainFormTemplate();

}  // namespace resources
