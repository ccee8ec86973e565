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

// Registry script resource (module entries written at registration).
#define IDR_QUILLVANE           101

// Cursor shown after a block.
#define IDC_BLOCKCURSOR         603

// "Adwares and Spywares" page of the options sheet.
#define IDD_ADWARE_PAGE         238
#define IDC_ADW_AUTOBLOCK       257
#define IDC_ADW_LIST            602
#define IDC_ADW_SCAN            607
#define IDC_ADW_PROGRESS        608
#define IDC_ADW_STATUS          609
#define IDC_ADW_INTRO           610
