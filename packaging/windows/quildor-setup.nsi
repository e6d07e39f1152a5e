; The Windows setup program of Quildor: one 32-bit setup for both kinds of Windows. It installs
; the Quildor.scr that matches Windows itself into the native system folder (past the 32-bit
; file-system redirection on 64-bit Windows), where Screen Saver Settings lists it; makes it the
; current screen saver when asked to (on by default); and registers an uninstaller under
; "Installed apps". It never writes the collection's own settings (the photo folder belongs to
; the collection's software). Silent with /S.
;
; The licence page comes first; the licence and the notices of the code of others in Quildor.scr
; are installed beside the uninstaller.
;
; makensis -DOUTFILE=... -DSCR_X64=... -DSCR_X86=... -DLICENSE=... -DNOTICES=... -DICON=...
;          -DVERSION=1.0.0 quildor-setup.nsi

Unicode true
!include "x64.nsh"
!include "LogicLib.nsh"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quildor"
!define DESKTOP_KEY "Control Panel\Desktop"

Name "Quildor"
Caption "Quildor ${VERSION} Setup"
OutFile "${OUTFILE}"
Icon "${ICON}"
UninstallIcon "${ICON}"
RequestExecutionLevel admin
ManifestDPIAware true
SetCompressor /SOLID lzma
ShowInstDetails show
ShowUninstDetails show

; The version block names the product as the screen saver's own does.
; No copyright line: the version block says only what the screen saver's own says.
!pragma warning disable 9100
VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "SCRNSAVE: The Quildor Anthology"
VIAddVersionKey /LANG=1033 "CompanyName" "Kelmarion"
VIAddVersionKey /LANG=1033 "ProductVersion" "1.00"
VIAddVersionKey /LANG=1033 "FileVersion" "1.00"
VIAddVersionKey /LANG=1033 "FileDescription" "Quildor screen saver setup"
VIAddVersionKey /LANG=1033 "InternalName" "Quildor setup"
VIAddVersionKey /LANG=1033 "OriginalFilename" "quildor-${VERSION}-setup.exe"

LicenseData "${LICENSE}"
Page license
Page components
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; The screen saver's place: the system folder Windows itself reads (System32 of the native kind).
!define SCR "$WINDIR\System32\Quildor.scr"

Function .onInit
  ${If} ${RunningX64}
    SetRegView 64
    StrCpy $INSTDIR "$PROGRAMFILES64\Quildor"
  ${Else}
    StrCpy $INSTDIR "$PROGRAMFILES\Quildor"
  ${EndIf}
FunctionEnd

Section "Quildor screen saver" SecProgram
  SectionIn RO
  ${If} ${RunningX64}
    ${DisableX64FSRedirection}
    SetOutPath "$WINDIR\System32"
    File "/oname=Quildor.scr" "${SCR_X64}"
    ${EnableX64FSRedirection}
  ${Else}
    SetOutPath "$WINDIR\System32"
    File "/oname=Quildor.scr" "${SCR_X86}"
  ${EndIf}
  SetOutPath "$INSTDIR"
  File "/oname=LICENSE.txt" "${LICENSE}"
  File "/oname=NOTICES.txt" "${NOTICES}"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Quildor screen saver"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Kelmarion"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "${SCR}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Make it the current screen saver" SecCurrent
  ; What the screen saver choice was, so that the uninstaller can put it back.
  ClearErrors
  ReadRegStr $0 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
  ${IfNot} ${Errors}
    WriteRegStr HKLM "${UNINSTALL_KEY}" "PreviousScreenSaver" $0
  ${EndIf}
  ClearErrors
  ReadRegStr $0 HKCU "${DESKTOP_KEY}" "ScreenSaveActive"
  ${IfNot} ${Errors}
    WriteRegStr HKLM "${UNINSTALL_KEY}" "PreviousScreenSaveActive" $0
  ${EndIf}
  WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" "${SCR}"
  WriteRegStr HKCU "${DESKTOP_KEY}" "ScreenSaveActive" "1"
  ; Tell the running system (SPI_SETSCREENSAVEACTIVE, broadcast to the windows).
  System::Call 'user32::SystemParametersInfoW(i 17, i 1, p 0, i 2)'
SectionEnd

Function un.onInit
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
FunctionEnd

Section "Uninstall"
  ${DisableX64FSRedirection}
  Delete "${SCR}"
  ${EnableX64FSRedirection}
  ; The screen saver choice goes back to what it was only while it still names this one: a user
  ; who has chosen another since keeps it.
  ClearErrors
  ReadRegStr $0 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
  ${IfNot} ${Errors}
  ${AndIf} $0 == "${SCR}"
    ClearErrors
    ReadRegStr $1 HKLM "${UNINSTALL_KEY}" "PreviousScreenSaver"
    ${If} ${Errors}
      DeleteRegValue HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
    ${Else}
      WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" $1
    ${EndIf}
    ClearErrors
    ReadRegStr $1 HKLM "${UNINSTALL_KEY}" "PreviousScreenSaveActive"
    ${If} ${Errors}
      DeleteRegValue HKCU "${DESKTOP_KEY}" "ScreenSaveActive"
    ${Else}
      WriteRegStr HKCU "${DESKTOP_KEY}" "ScreenSaveActive" $1
    ${EndIf}
  ${EndIf}
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\NOTICES.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd
