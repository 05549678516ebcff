// The program's own resources on Linux: the dialog templates the window
// system finds by id, as user32 finds them in a Windows image.
#include "resources/dialog_template.h"
#include "resources/resource.h"
#include "layer_internal.h"

namespace shell {

bool FindDialogResource(WORD id, std::vector<std::uint8_t>& bytes) {
    if (id != IDD_MAINFORM) return false;
    bytes = resources::BuildMainFormTemplate();
    return !bytes.empty();
}

}  // namespace shell
