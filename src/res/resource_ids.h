// Resource identifiers of Quillvane.dll.  Plain macros so that both the
// resource compiler and C++ can include this file; no Windows headers here.
#pragma once

// String table.
#define IDS_PROJNAME            100
#define IDS_ERR_OPTIONSBUSY     102
#define IDS_ERR_CREATEMUTEX     103
#define IDS_SHEET_CAPTION       105
#define IDS_ERR_SAVEWHITELIST   106
#define IDS_MENU_LABEL          107
#define IDS_ERR_BUSY            503
#define IDS_ERR_SAVESETTINGS    504
#define IDS_ERR_SAVETIMEOUT     505
#define IDS_ERR_OPENWHITELIST   506
#define IDS_ERR_SAVEIESETTINGS  507
#define IDS_ERR_LOADSETTINGS    508
#define IDS_ERR_CREATEKEY       510
#define IDS_ERR_SAVEREFUSED     511

// Registry script resource (module entries written at registration).
#define IDR_QUILLVANE           101

// Cursor shown after a block.
#define IDC_BLOCKCURSOR         603

// Tray icon and menu, About page, skins.
#define IDI_QUILLVANE           225
#define IDR_TRAYMENU            238
#define IDD_ABOUT               235
#define IDC_ABOUT_TEXT          202
#define IDC_WEB_LINK            1001
#define IDC_MAIL_LINK           1002
#define IDB_ABOUT_BANNER        604
#define IDR_SKIN_CLASSIC        602
#define IDR_SKIN_YELLOW         606
#define IDR_SKIN_BLUE           607
#define ID_BLOCK_FLOATING       32768
#define ID_BLOCK_FLASH          32769
#define ID_BLOCK_ANIMATED       32770
#define ID_BLOCK_POPUP          32771
#define ID_PAGE_OTHERADS        32772
#define ID_PAGE_ADWARE          32773
#define ID_PAGE_SETTINGS        32775
#define ID_PAGE_POPUPADS        32776
#define ID_PAGE_WHITELIST       242
#define ID_PAGE_HISTORY         243
#define ID_PAGE_ABOUT           214

// Options sheet: hot-key list items and the dialogs of its settings pages
// (control ids are listed with the page logic, ui/option_pages.h).
#define IDS_HOTKEY_CTRL         112
#define IDS_HOTKEY_SHIFT        113
#define IDS_HOTKEY_DISABLED     114
#define IDD_POPUPADS            109
#define IDD_WHITELIST           227
#define IDD_BLOCKHISTORY        229
#define IDD_NEWFORMADS          232
#define IDD_SETTINGS            237

// "Adwares and Spywares" page of the options sheet.
#define IDD_ADWARE_PAGE         238
#define IDC_ADW_AUTOBLOCK       257
#define IDC_ADW_LIST            602
#define IDC_ADW_SCAN            607
#define IDC_ADW_PROGRESS        608
#define IDC_ADW_STATUS          609
#define IDC_ADW_INTRO           610
