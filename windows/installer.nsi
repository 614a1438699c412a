; The Windows installer, in two forms:
; - per user (the default, no administrator rights): into %LOCALAPPDATA%\Programs\Tolvar, a folder
;   of the user's own, as the program writes its save folder back into tolvar.ini beside itself. A
;   folder outside the user's profile is refused: one made elsewhere (C:\Tolvar, say) lets every
;   user of the PC change the program and read the settings with their password.
; - for the whole PC (/ALLUSERS, from an administrator): into Program Files, where only
;   administrators write, so the office's tolvar.ini and MST_PO.xls beside the program are theirs
;   and each user's save folder goes to that user's own settings (%APPDATA%\Tolvar\tolvar.ini).
; An upgrade replaces the program and never the office's tolvar.ini or MST_PO.xls; the uninstaller
; removes the program's files and leaves those two. Built by windows/make-dist.sh, which defines
; VERSION, STAGE (the program folder), UNINSTALL_FILES and OUTFILE. Silent with /S.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user

!include "FileFunc.nsh"
!include "LogicLib.nsh"
!include "StrFunc.nsh"
${StrStr}

!define APP "Tolvar"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tolvar"

Name "${APP}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${APP}"
VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${APP}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "${APP} installer"
VIAddVersionKey "LegalCopyright" ""

Var AllUsers

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; Whether $INSTDIR lies inside the folder given (compared without regard to case, as Windows does);
; a ".." in it could lead anywhere, so such a folder lies inside none.
!macro InstallDirUnder FOLDER RESULT
  StrLen $R1 "${FOLDER}\"
  StrCpy $R2 "$INSTDIR\" $R1
  StrCpy ${RESULT} 0
  StrCmp $R2 "${FOLDER}\" 0 +2
  StrCpy ${RESULT} 1
  ${StrStr} $R3 "$INSTDIR\" "\..\"
  StrCmp $R3 "" +2 0
  StrCpy ${RESULT} 0
!macroend

; Ends the installation with a message (the silent one too) and a non-zero status.
!macro Refuse TEXT STATUS
  MessageBox MB_ICONSTOP|MB_OK "${TEXT}" /SD IDOK
  SetErrorLevel ${STATUS}
  Quit
!macroend

Function .onInit
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/ALLUSERS" $1
  ${IfNot} ${Errors}
    StrCpy $AllUsers 1
    UserInfo::GetAccountType
    Pop $2
    ${If} $2 != "Admin"
      ; 740: the operation requires elevation.
      !insertmacro Refuse "/ALLUSERS installs Tolvar for every user of this PC: run the installer as an administrator." 740
    ${EndIf}
    ; /D, where given, has already set the folder; otherwise the default is Program Files.
    ${If} $INSTDIR == "$LOCALAPPDATA\Programs\${APP}"
      StrCpy $INSTDIR "$PROGRAMFILES64\${APP}"
    ${EndIf}
    SetShellVarContext all
  ${Else}
    ; An upgrade goes where the last installation went, unless /D names a folder.
    ReadRegStr $3 HKCU "Software\${APP}" "InstallDir"
    ${If} $3 != ""
    ${AndIf} $INSTDIR == "$LOCALAPPDATA\Programs\${APP}"
      StrCpy $INSTDIR $3
    ${EndIf}
  ${EndIf}
FunctionEnd

Section "${APP}"
  ${If} $AllUsers == 1
    !insertmacro InstallDirUnder "$PROGRAMFILES64" $4
    ${If} $4 != 1
      !insertmacro Refuse "Tolvar for every user of this PC goes into $PROGRAMFILES64, where only administrators may change it: $INSTDIR is not there." 2
    ${EndIf}
    SetShellVarContext all
  ${Else}
    !insertmacro InstallDirUnder "$PROFILE" $4
    ${If} $4 != 1
      !insertmacro Refuse "Tolvar for one user goes into a folder of that user's profile ($PROFILE), which no one else may change: $INSTDIR is not there. Install it for the whole PC with /ALLUSERS." 2
    ${EndIf}
    SetShellVarContext current
  ${EndIf}
  SetOutPath "$INSTDIR"
  SetOverwrite on
  File /r /x tolvar.ini /x MST_PO.xls "${STAGE}/*.*"
  ; The office's own: put in place only where none is there yet.
  SetOverwrite off
  File "${STAGE}/tolvar.ini"
  File "${STAGE}/MST_PO.xls"
  SetOverwrite on

  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortCut "$SMPROGRAMS\${APP}.lnk" "$INSTDIR\tolvar.exe"
  ${If} $AllUsers == 1
    SetRegView 64
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${APP}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\tolvar.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${Else}
    WriteRegStr HKCU "Software\${APP}" "InstallDir" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${APP}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\tolvar.exe"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${EndIf}
SectionEnd

Function un.onInit
  ; The form it was installed in: the whole PC's entry names this folder.
  SetRegView 64
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 == $INSTDIR
    StrCpy $AllUsers 1
  ${EndIf}
FunctionEnd

Section "Uninstall"
  ${If} $AllUsers == 1
    SetShellVarContext all
  ${Else}
    SetShellVarContext current
  ${EndIf}
!include "${UNINSTALL_FILES}"
  Delete "$INSTDIR\uninstall.exe"
  ; Left only when the office's settings, template or workbooks are still in it.
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\${APP}.lnk"
  ${If} $AllUsers == 1
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
  ${Else}
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
    DeleteRegKey HKCU "Software\${APP}"
  ${EndIf}
SectionEnd
