# SPDX-License-Identifier: MIT
; The setup program for Windows: brask.exe with the plug-in it loads, the codec that brings
; G00 and PDT to Windows programs and Explorer (registered per user, or per machine on
; request), the viewer plug-ins for users to copy, and an uninstaller that removes all of it.
; One script makes two setups: x64 for 64-bit Windows (the 64-bit brask.exe, and the codec for
; 64-bit and 32-bit programs) and x86 for 32-bit Windows.
;
; Defines, from packaging/windows/CMakeLists.txt:
;   ARCH         x64 or x86
;   VERSION      the project's version; VERSION4 the same in four numbers
;   OUTFILE      the setup program to write
;   BIN          the build of ARCH: brask.exe, its plug-in, the codec
;   BIN_X86      (x64) the x86 build: the 32-bit codec and if_brask.spi
;   CODEC        defined when the codec is built
;   PLUGINS_TEXT the text placed beside the viewer plug-ins
;
; Command line: /S (silent), /ALLUSERS (for everyone; needs administrator rights),
; /CURRENTUSER (the default), /D=FOLDER (last, unquoted). A silent setup that cannot install for
; everyone ends with 740 (elevation required); one whose codec does not register, with 3.

Unicode true
ManifestSupportedOS all
RequestExecutionLevel user
SetCompressor /SOLID lzma
; The installed files are dated when installed, not when built: the setup program's bytes then
; depend on the files' contents alone, and two builds of one commit are the same.
SetDateSave off
!if ${ARCH} == x64
  Target amd64-unicode
!endif

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include nsDialogs.nsh
!include x64.nsh

!define PRODUCT brask
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define SETUP_X64 "${PRODUCT}-${VERSION}-setup-x64.exe"
!define ERROR_ELEVATION_REQUIRED 740
!if ${ARCH} == x64
  !define PLUGIN if_brask_x64.dll
!else
  !define PLUGIN if_brask.spi
!endif

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
BrandingText "${PRODUCT} ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion ${VERSION4}
VIFileVersion ${VERSION4}
VIAddVersionKey ProductName "${PRODUCT}"
VIAddVersionKey ProductVersion "${VERSION}"
VIAddVersionKey FileVersion "${VERSION}"
VIAddVersionKey FileDescription "${PRODUCT} ${VERSION} setup (${ARCH}): G00 and PDT pictures on Windows"
VIAddVersionKey LegalCopyright "the if_brask developers"

Var AllUsers        ; 1: for everyone (HKLM, Program Files); 0: for the current user
Var FolderGiven     ; 1 when /D named the folder
Var RadioCurrentUser
Var RadioAllUsers

!define MUI_ABORTWARNING
Page custom ChooseUsersPage LeaveUsersPage
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\viewer-plugins"
!define MUI_FINISHPAGE_SHOWREADME_TEXT "Open the folder of the viewer plug-ins"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE English

; --- Shared by the setup and the uninstaller ------------------------------------------------

; The registry view and shell folders of the chosen users: SHCTX is HKLM for everyone, else
; HKCU. The x64 setup writes the 64-bit view, where 64-bit Windows keeps its programs.
!macro UseChosenUsers
  !if ${ARCH} == x64
    SetRegView 64
  !endif
  ${If} $AllUsers = 1
    SetShellVarContext all
  ${Else}
    SetShellVarContext current
  ${EndIf}
!macroend

; Sets $0 to 1 when this process runs with administrator rights (elevated), else 0.
!macro IsAdministrator
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 == "Admin"
    StrCpy $0 1
  ${Else}
    StrCpy $0 0
  ${EndIf}
!macroend

; Runs REGSVR32 on DLL, per machine or (/n /i:user) per user, as chosen; UNDO is "/u" or "".
; Leaves in $0 regsvr32's exit code, or "cannot start" when the program could not be started
; (a 32-bit regsvr32 on a 64-bit Windows that runs no 32-bit programs).
!macro RunRegsvr32 REGSVR32 UNDO DLL
  ClearErrors
  ${If} $AllUsers = 1
    ExecWait '"${REGSVR32}" /s ${UNDO} "${DLL}"' $0
  ${Else}
    ExecWait '"${REGSVR32}" /s ${UNDO} /n /i:user "${DLL}"' $0
  ${EndIf}
  ${If} ${Errors}
    StrCpy $0 "cannot start"
  ${EndIf}
!macroend

; Removes FOLDER when empty (at the next restart when files in it wait for one), and the
; user's programs folder above it when that is empty too: a per-user setup may have been the
; first to make it.
!macro RemoveEmptyFolder FOLDER
  ${If} ${RebootFlag}
    RMDir /REBOOTOK "${FOLDER}"
  ${Else}
    RMDir "${FOLDER}"
  ${EndIf}
  ${GetParent} "${FOLDER}" $R8
  ${If} $R8 == "$LOCALAPPDATA\Programs"
    RMDir "$R8"
  ${EndIf}
!macroend

; The 64-bit setup is a 64-bit process: $SYSDIR is the real System32 (the 64-bit regsvr32) and
; the 32-bit regsvr32 is in SysWOW64. On 32-bit Windows System32 holds the only one.
!define REGSVR32 "$SYSDIR\regsvr32.exe"
!define REGSVR32_X86 "$WINDIR\SysWOW64\regsvr32.exe"

; --- The setup ------------------------------------------------------------------------------

Function .onInit
  !if ${ARCH} == x86
    ${If} ${RunningX64}
      MessageBox MB_ICONSTOP "This setup is for 32-bit Windows. On 64-bit Windows, run ${SETUP_X64}: it installs the codec for 64-bit and 32-bit programs alike." /SD IDOK
      SetErrorLevel 2
      Quit
    ${EndIf}
  !endif
  ${GetParameters} $R0
  StrCpy $AllUsers 0
  ClearErrors
  ${GetOptions} $R0 "/ALLUSERS" $R1
  ${IfNot} ${Errors}
    StrCpy $AllUsers 1
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/CURRENTUSER" $R1
  ${IfNot} ${Errors}
    StrCpy $AllUsers 0
  ${EndIf}
  StrCpy $FolderGiven 0
  ${If} $INSTDIR != ""
    StrCpy $FolderGiven 1
  ${EndIf}
  ${If} ${Silent}
    Call ApplyUsers
  ${EndIf}
FunctionEnd

; Takes the choice of users: checks the rights it needs and picks the default folder.
Function ApplyUsers
  ${If} $AllUsers = 1
    !insertmacro IsAdministrator
    ${If} $0 = 0
      ${If} ${Silent}
        SetErrorLevel ${ERROR_ELEVATION_REQUIRED}
        Quit
      ${EndIf}
      MessageBox MB_YESNO|MB_ICONINFORMATION "Installing for everyone needs administrator rights. Start the setup again as administrator?" IDNO stay
      ExecShell "runas" "$EXEPATH" "/ALLUSERS"
      Quit
      stay:
      Abort
    ${EndIf}
  ${EndIf}
  !insertmacro UseChosenUsers
  ${If} $FolderGiven = 0
    ${If} $AllUsers = 1
      StrCpy $INSTDIR "$PROGRAMFILES64\${PRODUCT}"
    ${Else}
      StrCpy $INSTDIR "$LOCALAPPDATA\Programs\${PRODUCT}"
    ${EndIf}
  ${EndIf}
FunctionEnd

Function ChooseUsersPage
  !insertmacro MUI_HEADER_TEXT "Choose users" "Install ${PRODUCT} for yourself alone, or for everyone who uses this computer."
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateRadioButton} 0 10u 100% 14u "Just for me (no administrator rights needed)"
  Pop $RadioCurrentUser
  ${NSD_CreateRadioButton} 0 30u 100% 14u "For everyone who uses this computer (needs administrator rights)"
  Pop $RadioAllUsers
  ${If} $AllUsers = 1
    ${NSD_Check} $RadioAllUsers
  ${Else}
    ${NSD_Check} $RadioCurrentUser
  ${EndIf}
  nsDialogs::Show
FunctionEnd

Function LeaveUsersPage
  ${NSD_GetState} $RadioAllUsers $0
  ${If} $0 = ${BST_CHECKED}
    StrCpy $AllUsers 1
  ${Else}
    StrCpy $AllUsers 0
  ${EndIf}
  Call ApplyUsers
FunctionEnd

; An earlier install for the same users is removed first, by its own uninstaller, so no
; registration is left pointing at files that are gone.
Function RemoveEarlierInstall
  ReadRegStr $R0 SHCTX "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $R0 == ""
  ${OrIfNot} ${FileExists} "$R0\uninstall.exe"
    Return
  ${EndIf}
  DetailPrint "Removing the earlier install in $R0"
  ExecWait '"$R0\uninstall.exe" /S _?=$R0'
  ; Run in place (_?=), the uninstaller could not remove itself nor its folder.
  Delete "$R0\uninstall.exe"
  !insertmacro RemoveEmptyFolder "$R0"
FunctionEnd

; Ends the setup after regsvr32 ($0) failed on the codec $R9: what it installed is removed
; again by the uninstaller it wrote, and the setup ends with 3.
Function AbandonInstall
  DetailPrint "regsvr32 failed ($0); removing what was installed"
  SetOutPath "$TEMP"  ; the folder cannot go while it is this process's current folder
  ExecWait '"$INSTDIR\uninstall.exe" /S _?=$INSTDIR'
  Delete "$INSTDIR\uninstall.exe"
  !insertmacro RemoveEmptyFolder "$INSTDIR"
  MessageBox MB_ICONSTOP "The codec $R9 could not be registered (regsvr32: $0). Nothing was installed." /SD IDOK
  SetErrorLevel 3
  Quit
FunctionEnd

; Registers the codec at DLL with REGSVR32, or abandons the install. With MAY_NOT_START 1, a
; regsvr32 that cannot start at all (the 32-bit one, on a 64-bit Windows that runs no 32-bit
; programs) leaves that codec unregistered and the install goes on.
!macro RegisterCodec REGSVR32 DLL MAY_NOT_START
  DetailPrint "Registering ${DLL}"
  !insertmacro RunRegsvr32 "${REGSVR32}" "" "${DLL}"
  ${If} $0 == "cannot start"
  ${AndIf} ${MAY_NOT_START} = 1
    DetailPrint "Not registered: this Windows runs no 32-bit programs"
  ${ElseIf} $0 != 0
    StrCpy $R9 "${DLL}"
    Call AbandonInstall
  ${EndIf}
!macroend

Section "${PRODUCT}"
  Call RemoveEarlierInstall
  SetOutPath "$INSTDIR"
  File "${BIN}\brask.exe"
  File "${BIN}\${PLUGIN}"
  SetOutPath "$INSTDIR\viewer-plugins"
  File "/oname=README.txt" "${PLUGINS_TEXT}"
  !if ${ARCH} == x64
    File "${BIN_X86}\if_brask.spi"
    File "${BIN}\if_brask_x64.dll"
  !else
    File "${BIN}\if_brask.spi"
  !endif
  !ifdef CODEC
    SetOutPath "$INSTDIR\codec\${ARCH}"
    File "${BIN}\brask_wic.dll"
    !if ${ARCH} == x64
      SetOutPath "$INSTDIR\codec\x86"
      File "${BIN_X86}\brask_wic.dll"
    !endif
  !endif
  SetOutPath "$INSTDIR"

  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT} ${VERSION} (G00 and PDT pictures)"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "the if_brask developers"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $0

  !ifdef CODEC
    !insertmacro RegisterCodec "${REGSVR32}" "$INSTDIR\codec\${ARCH}\brask_wic.dll" 0
    !if ${ARCH} == x64
      ; 32-bit programs get the 32-bit codec, where Windows still runs them.
      !insertmacro RegisterCodec "${REGSVR32_X86}" "$INSTDIR\codec\x86\brask_wic.dll" 1
    !endif
  !endif
SectionEnd

; --- The uninstaller ------------------------------------------------------------------------

; The uninstaller removes the install it sits in: the one for everyone when the machine's
; uninstall entry names its folder, else the current user's.
Function un.onInit
  StrCpy $AllUsers 0
  !if ${ARCH} == x64
    SetRegView 64
  !endif
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 == $INSTDIR
    StrCpy $AllUsers 1
    !insertmacro IsAdministrator
    ${If} $0 = 0
      ${IfNot} ${Silent}
        MessageBox MB_ICONINFORMATION "${PRODUCT} was installed for everyone: removing it needs administrator rights. Run its uninstaller as administrator." /SD IDOK
      ${EndIf}
      SetErrorLevel ${ERROR_ELEVATION_REQUIRED}
      Quit
    ${EndIf}
  ${EndIf}
  !insertmacro UseChosenUsers
FunctionEnd

!macro UnregisterCodec REGSVR32 DLL
  ${If} ${FileExists} "${DLL}"
    DetailPrint "Unregistering ${DLL}"
    !insertmacro RunRegsvr32 "${REGSVR32}" "/u" "${DLL}"
    ${If} $0 != 0
      DetailPrint "regsvr32 /u: $0"
    ${EndIf}
    ; Explorer or another program may still have the codec loaded: it then goes at the next
    ; restart, and so do the folders that hold it.
    Delete /REBOOTOK "${DLL}"
  ${EndIf}
!macroend

Section "Uninstall"
  ; Unregistering needs the DLLs, so they go first; then what setup wrote, file by file.
  !ifdef CODEC
    !insertmacro UnregisterCodec "${REGSVR32}" "$INSTDIR\codec\${ARCH}\brask_wic.dll"
    !if ${ARCH} == x64
      !insertmacro UnregisterCodec "${REGSVR32_X86}" "$INSTDIR\codec\x86\brask_wic.dll"
      RMDir /REBOOTOK "$INSTDIR\codec\x86"
    !endif
    RMDir /REBOOTOK "$INSTDIR\codec\${ARCH}"
    RMDir /REBOOTOK "$INSTDIR\codec"
  !endif
  Delete "$INSTDIR\viewer-plugins\README.txt"
  Delete "$INSTDIR\viewer-plugins\if_brask.spi"
  Delete "$INSTDIR\viewer-plugins\if_brask_x64.dll"
  RMDir "$INSTDIR\viewer-plugins"
  Delete "$INSTDIR\brask.exe"
  Delete "$INSTDIR\${PLUGIN}"
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"
  Delete "$INSTDIR\uninstall.exe"
  !insertmacro RemoveEmptyFolder "$INSTDIR"
  ; The user's uninstall list, which a per-user setup may have been the first to make, goes
  ; when nothing else is in it. (The codec's unregistering removes the class lists it empties.)
  ${If} $AllUsers = 0
    DeleteRegKey /ifempty HKCU "Software\Microsoft\Windows\CurrentVersion\Uninstall"
  ${EndIf}
SectionEnd
