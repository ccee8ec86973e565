// The contract between the options sheet and the pages that are built in
// other folders (the adware page, the About page): how the sheet adds them
// and the page-protocol helpers every page shares.
#pragma once

#include <windows.h>

namespace qv::ui::win {

// One page of the options sheet that lives outside the sheet's own files.
// The sheet adds it with CreatePropertySheetPageA: `dialogId` is the dialog
// template in the module, `proc` its dialog procedure. The sheet passes the
// page's value holder as the page's lParam (for the adware page an int* to
// its blockAdware value, 0..2, read back after OK; for the About page null).
// A page whose dialogId is 0 is left out of the sheet.
struct SheetPage {
  int dialogId = 0;
  DLGPROC proc = nullptr;
};

SheetPage adwarePage();  // index 2, defined with the adware page
SheetPage aboutPage();   // index 6, defined with the About page

// The index the sheet was opened at, set each time a sheet is built.
int startPageIndex();
void setStartPageIndex(int index);

// Page protocol at WM_INITDIALOG: when the sheet's current tab is the start
// page, centre the sheet over its owner (or the work area) without resizing,
// reordering or activating it.
void centreSheetIfStartPage(HWND page);

}  // namespace qv::ui::win
