// The "Adwares and Spywares" page of the options sheet.
// Not built yet: the sheet leaves the page out while dialogId is 0.
#include "ui/win/sheet_pages.h"

namespace qv::ui::win {
SheetPage adwarePage() { return {}; }
}  // namespace qv::ui::win
