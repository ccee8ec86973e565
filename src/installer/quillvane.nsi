; The Quillvane setup: one file that installs the 64-bit and the 32-bit
; module, registers both, and adds the "Programs and Features" entry.
;
; Built by scripts/make-installer, which defines
;   QV_VERSION_NSH  the generated product identity (version, company, ...)
;   QV_FILES_NSH    the generated file list (macro QV_FOR_EACH_FILE)
;   QV_SIZE_KB      the installed size in KiB
;   QV_OUTFILE      the setup file to write
;
; What it does:
; - a 64-bit program: 32-bit Windows refuses to start it, so 32-bit-only
;   Windows is not supported;
; - installs into the 64-bit Program Files folder, the 32-bit module and its
;   data files in the subfolder x86;
; - registers the 64-bit module with the 64-bit regsvr32 and the 32-bit one
;   with the 32-bit regsvr32 (where Windows has its 32-bit subsystem; without
;   it no 32-bit browser can run, and the 32-bit module stays unregistered);
; - when a registration fails, takes back everything this run did (files,
;   registration) and puts an older version found in place back as it was;
; - the white list seed (Quillvane.WL) beside each module is replaced on an
;   upgrade and removed on uninstall only while it is the copy setup put
;   there: a module that cannot reach the user's documents keeps its white
;   list in that file, and then the file is the user's;
; - never touches the user's settings key or the personal white list.
;
; Exit codes: 0 installed/removed; 1 cancelled by the user; 2 failed
; (message shown, or only the exit code with /S); 740 not run as an
; administrator.

Unicode true
Target amd64-unicode
RequestExecutionLevel admin
SetCompressor /SOLID lzma
ManifestSupportedOS all

; Signed when make-installer is given a certificate: the uninstaller as it
; is written into the setup, and the setup itself.
!ifdef QV_SIGN_CMD
!uninstfinalize '"${QV_SIGN_CMD}" "%1"' = 0
!finalize '"${QV_SIGN_CMD}" "%1"' = 0
!endif

!include "${QV_VERSION_NSH}"
!include "${QV_FILES_NSH}"
!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"

!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${QV_PRODUCT}"
!define UNINSTALLER "Uninstall.exe"
!define SUB32 "x86"
!define REGSVR64 "$SYSDIR\regsvr32.exe"
!define REGSVR32 "$WINDIR\SysWOW64\regsvr32.exe"

Name "${QV_PRODUCT} ${QV_VERSION}"
OutFile "${QV_OUTFILE}"
InstallDir "$PROGRAMFILES64\${QV_PRODUCT}"
BrandingText "${QV_PRODUCT} ${QV_VERSION}"
ShowInstDetails show
ShowUninstDetails show
AllowSkipFiles off

VIProductVersion "${QV_VERSION_4}"
VIAddVersionKey /LANG=1033 "ProductName" "${QV_PRODUCT}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${QV_VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${QV_VERSION}"
VIAddVersionKey /LANG=1033 "CompanyName" "${QV_COMPANY}"
VIAddVersionKey /LANG=1033 "FileDescription" "${QV_PRODUCT} ${QV_VERSION} Setup"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${QV_COPYRIGHT}"

Var Upgrade       ; 1 when a version is installed in $INSTDIR already
Var Registered32  ; 1 when the 32-bit module was registered by this run

!define MUI_ABORTWARNING
!define MUI_PAGE_CUSTOMFUNCTION_PRE SkipDirectoryOnUpgrade
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; --- the file list's operations ---------------------------------------------
; Each takes the subfolder ("" or "x86\"), the file name and the source.

; Whether the white list seed at $0 is still the copy setup put there
; (its write time as recorded at install).  Sets $1 to 1 when it is.
!macro QV_SEED_IS_OURS UN
Function ${UN}SeedIsOurs
  StrCpy $1 0
  ReadRegStr $2 HKLM "${UNINST_KEY}" "SeedTime $0"
  ${If} $2 != ""
    ClearErrors
    GetFileTime "$INSTDIR\$0" $3 $4
    ${IfNot} ${Errors}
    ${AndIf} $2 == "$3.$4"
      StrCpy $1 1
    ${EndIf}
  ${EndIf}
FunctionEnd
!macroend
!insertmacro QV_SEED_IS_OURS ""
!insertmacro QV_SEED_IS_OURS "un."

; Moves a file in place aside (a loaded module can be renamed, not replaced).
!macro QV_BACKUP SUB NAME SRC
  Delete "$INSTDIR\${SUB}${NAME}.qvold"
  ${If} ${FileExists} "$INSTDIR\${SUB}${NAME}"
    Rename "$INSTDIR\${SUB}${NAME}" "$INSTDIR\${SUB}${NAME}.qvold"
  ${EndIf}
!macroend
!macro QV_BACKUP_SEED SUB NAME SRC
  StrCpy $0 "${SUB}${NAME}"
  Call SeedIsOurs
  ${If} $1 == 1
    !insertmacro QV_BACKUP "${SUB}" "${NAME}" "${SRC}"
  ${EndIf}
!macroend

!macro QV_PUT SUB NAME SRC
  SetOutPath "$INSTDIR\${SUB}"
  File "/oname=${NAME}" "${SRC}"
!macroend
; A seed that is the user's white list now stays as it is.
!macro QV_PUT_SEED SUB NAME SRC
  ${IfNot} ${FileExists} "$INSTDIR\${SUB}${NAME}"
    !insertmacro QV_PUT "${SUB}" "${NAME}" "${SRC}"
    GetFileTime "$INSTDIR\${SUB}${NAME}" $3 $4
    WriteRegStr HKLM "${UNINST_KEY}" "SeedTime ${SUB}${NAME}" "$3.$4"
  ${EndIf}
!macroend

; Takes back what QV_PUT wrote and puts the moved-aside file back.
!macro QV_RESTORE SUB NAME SRC
  Delete "$INSTDIR\${SUB}${NAME}"
  ${If} ${FileExists} "$INSTDIR\${SUB}${NAME}.qvold"
    Rename "$INSTDIR\${SUB}${NAME}.qvold" "$INSTDIR\${SUB}${NAME}"
  ${EndIf}
!macroend
; A seed moved aside was setup's: it comes back with its write time
; recorded again.  Otherwise the file is removed only when this run put it.
!macro QV_RESTORE_SEED SUB NAME SRC
  ${If} ${FileExists} "$INSTDIR\${SUB}${NAME}.qvold"
    !insertmacro QV_RESTORE "${SUB}" "${NAME}" "${SRC}"
    GetFileTime "$INSTDIR\${SUB}${NAME}" $3 $4
    WriteRegStr HKLM "${UNINST_KEY}" "SeedTime ${SUB}${NAME}" "$3.$4"
  ${Else}
    StrCpy $0 "${SUB}${NAME}"
    Call SeedIsOurs
    ${If} $1 == 1
      Delete "$INSTDIR\${SUB}${NAME}"
    ${EndIf}
  ${EndIf}
!macroend

!macro QV_DROP_BACKUP SUB NAME SRC
  Delete /REBOOTOK "$INSTDIR\${SUB}${NAME}.qvold"
!macroend
!macro QV_DROP_BACKUP_SEED SUB NAME SRC
  !insertmacro QV_DROP_BACKUP "${SUB}" "${NAME}" "${SRC}"
!macroend

!macro QV_REMOVE SUB NAME SRC
  Delete /REBOOTOK "$INSTDIR\${SUB}${NAME}"
!macroend
!macro QV_REMOVE_SEED SUB NAME SRC
  StrCpy $0 "${SUB}${NAME}"
  Call un.SeedIsOurs
  ${If} $1 == 1
    Delete /REBOOTOK "$INSTDIR\${SUB}${NAME}"
  ${Else}
    DetailPrint "Kept $INSTDIR\${SUB}${NAME}: it holds your white list."
  ${EndIf}
!macroend

; --- registration ------------------------------------------------------------

; Runs regsvr32 ($R1 = its path, $R2 = its arguments, $R3 = module) and
; leaves its exit code in $R0 ("error" when it could not be started).
Function RunRegsvr
  ClearErrors
  ExecWait '"$R1" /s $R2 "$INSTDIR\$R3"' $R0
  ${If} ${Errors}
    StrCpy $R0 "error"
  ${EndIf}
FunctionEnd

!macro QV_REGSVR TOOL ARGS MODULE
  StrCpy $R1 "${TOOL}"
  StrCpy $R2 "${ARGS}"
  StrCpy $R3 "${MODULE}"
  Call RunRegsvr
!macroend

; Takes back this run: registration, files, and the older version put back
; and registered again.  $R9 holds the message for the user.
Function Rollback
  DetailPrint "$R9"
  !insertmacro QV_REGSVR "${REGSVR64}" "/u" "Quillvane.dll"
  ${If} $Registered32 == 1
    !insertmacro QV_REGSVR "${REGSVR32}" "/u" "${SUB32}\Quillvane.dll"
  ${EndIf}
  !insertmacro QV_FOR_EACH_FILE QV_RESTORE
  ${If} $Upgrade == 1
    !insertmacro QV_REGSVR "${REGSVR64}" "" "Quillvane.dll"
    ${If} ${FileExists} "${REGSVR32}"
    ${AndIf} ${FileExists} "$INSTDIR\${SUB32}\Quillvane.dll"
      !insertmacro QV_REGSVR "${REGSVR32}" "" "${SUB32}\Quillvane.dll"
    ${EndIf}
    StrCpy $R9 "$R9$\r$\n$\r$\nThe version installed before was left as it was."
  ${Else}
    DeleteRegKey HKLM "${UNINST_KEY}"
    SetOutPath "$TEMP"
    RMDir "$INSTDIR\${SUB32}"
    RMDir "$INSTDIR"
    StrCpy $R9 "$R9$\r$\n$\r$\nNothing was installed."
  ${EndIf}
  MessageBox MB_OK|MB_ICONSTOP "$R9" /SD IDOK
  SetErrorLevel 2
FunctionEnd

; --- install -----------------------------------------------------------------

Function .onInit
  SetRegView 64
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "admin"
    MessageBox MB_OK|MB_ICONSTOP "Installing ${QV_PRODUCT} needs administrator rights.$\r$\nRun the setup as an administrator." /SD IDOK
    SetErrorLevel 740
    Quit
  ${EndIf}
  ; An installed version is upgraded where it is.
  StrCpy $Upgrade 0
  ReadRegStr $0 HKLM "${UNINST_KEY}" "InstallLocation"
  ${If} $0 != ""
  ${AndIf} ${FileExists} "$0\Quillvane.dll"
    StrCpy $INSTDIR $0
    StrCpy $Upgrade 1
  ${EndIf}
FunctionEnd

Function SkipDirectoryOnUpgrade
  ${If} $Upgrade == 1
    Abort
  ${EndIf}
FunctionEnd

Section "Quillvane" SecMain
  SectionIn RO
  SetRegView 64
  StrCpy $Registered32 0
  ${If} $Upgrade != 1
  ${AndIf} ${FileExists} "$INSTDIR\Quillvane.dll"
    ; Files of an install without its uninstall entry: replaced like an upgrade.
    StrCpy $Upgrade 1
  ${EndIf}

  DetailPrint "Installing ${QV_PRODUCT} ${QV_VERSION} into $INSTDIR"
  !insertmacro QV_FOR_EACH_FILE QV_BACKUP
  ClearErrors
  !insertmacro QV_FOR_EACH_FILE QV_PUT
  ${If} ${Errors}
    StrCpy $R9 "Setup could not write the files of ${QV_PRODUCT} into $INSTDIR."
    Call Rollback
    Abort
  ${EndIf}

  !insertmacro QV_REGSVR "${REGSVR64}" "" "Quillvane.dll"
  ${If} $R0 != 0
    StrCpy $R9 "Registering the 64-bit ${QV_PRODUCT} module failed (regsvr32 exit code $R0)."
    Call Rollback
    Abort
  ${EndIf}
  ${If} ${FileExists} "${REGSVR32}"
    StrCpy $Registered32 1
    !insertmacro QV_REGSVR "${REGSVR32}" "" "${SUB32}\Quillvane.dll"
    ${If} $R0 != 0
      StrCpy $R9 "Registering the 32-bit ${QV_PRODUCT} module failed (regsvr32 exit code $R0)."
      Call Rollback
      Abort
    ${EndIf}
  ${Else}
    DetailPrint "This Windows has no 32-bit subsystem: the 32-bit module is not registered."
  ${EndIf}

  !insertmacro QV_FOR_EACH_FILE QV_DROP_BACKUP
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "${QV_PRODUCT}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${QV_VERSION}"
  WriteRegDWORD HKLM "${UNINST_KEY}" "VersionMajor" ${QV_VERSION_MAJOR}
  WriteRegDWORD HKLM "${UNINST_KEY}" "VersionMinor" ${QV_VERSION_MINOR}
  WriteRegStr HKLM "${UNINST_KEY}" "Publisher" "${QV_COMPANY}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\${UNINSTALLER},0"
  WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegDWORD HKLM "${UNINST_KEY}" "EstimatedSize" ${QV_SIZE_KB}
  WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1
SectionEnd

; --- uninstall ---------------------------------------------------------------

Function un.onInit
  SetRegView 64
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "admin"
    MessageBox MB_OK|MB_ICONSTOP "Removing ${QV_PRODUCT} needs administrator rights." /SD IDOK
    SetErrorLevel 740
    Quit
  ${EndIf}
FunctionEnd

!macro QV_UNREGISTER TOOL MODULE
  ${If} ${FileExists} "$INSTDIR\${MODULE}"
    ClearErrors
    ExecWait '"${TOOL}" /s /u "$INSTDIR\${MODULE}"' $R0
    ${If} ${Errors}
    ${OrIf} $R0 != 0
      DetailPrint "Unregistering $INSTDIR\${MODULE} failed (regsvr32 exit code $R0)."
      StrCpy $R8 1
    ${EndIf}
  ${EndIf}
!macroend

Section "Uninstall"
  SetRegView 64
  StrCpy $R8 0
  !insertmacro QV_UNREGISTER "${REGSVR64}" "Quillvane.dll"
  ${If} ${FileExists} "${REGSVR32}"
    !insertmacro QV_UNREGISTER "${REGSVR32}" "${SUB32}\Quillvane.dll"
  ${EndIf}
  !insertmacro QV_FOR_EACH_FILE QV_REMOVE
  Delete /REBOOTOK "$INSTDIR\${UNINSTALLER}"
  SetOutPath "$TEMP"
  RMDir /REBOOTOK "$INSTDIR\${SUB32}"
  RMDir /REBOOTOK "$INSTDIR"
  DeleteRegKey HKLM "${UNINST_KEY}"
  ${If} $R8 == 1
    MessageBox MB_OK|MB_ICONEXCLAMATION "${QV_PRODUCT} was removed, but a module could not be unregistered; see the details." /SD IDOK
    SetErrorLevel 2
  ${EndIf}
SectionEnd
