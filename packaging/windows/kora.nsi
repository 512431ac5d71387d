; The KORA installer for 64-bit Windows: per user, without administrator rights, into
; %LOCALAPPDATA%\Programs\KORA, with the files of the zip. KORA writes wxnow.txt in its working
; folder, so the installer asks for the beacon program's folder and makes it the shortcuts'
; "Start in".
;
; makensis -DVERSION=0.0.1 -DSTAGE=<the zip's KORA folder> -DFILES=<files.nsh> -DOUTFILE=<setup.exe>
;
; From a command prompt or a script:
;   kora-<version>-setup.exe /S /REPORTDIR="C:\Ham Radio\Beacon" /D=C:\Programs\KORA
;   uninstall.exe /S
; Exit codes: 0 installed; 1 cancelled; 2 KORA is running; 3 the report folder cannot be written.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user

!include "FileFunc.nsh"
!include "LogicLib.nsh"
!include "Sections.nsh"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\KORA"
; kora.exe holds a mutex of this name while it runs.
!define RUNNING_MUTEX "KORA.Running"
!define REPORT "wxnow.txt"

Name "KORA ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\KORA"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails show
ShowUninstDetails show
VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "KORA"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "KORA installer"
VIAddVersionKey "CompanyName" "The KORA developers"
VIAddVersionKey "LegalCopyright" "Copyright (c) The KORA developers (MIT licence)"

Var ReportDir
; Where an earlier version is installed, or nothing.
Var OldInstDir

Page directory
PageEx directory
    Caption ": Report Folder"
    DirVar $ReportDir
    DirText "KORA writes the weather report ${REPORT} in this folder. Choose the folder your \
beacon program reads it from." "Report folder"
    PageCallbacks "" "" ReportDirLeave
PageExEnd
Page components
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; Exit code 2, or 0 once KORA has ended: installing over a running kora.exe would leave half a
; program behind.
!macro WaitUntilKoraEnds un
Function ${un}WaitUntilKoraEnds
    ${Do}
        System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "${RUNNING_MUTEX}") p .r0'
        ${If} $0 P= 0
            Return
        ${EndIf}
        System::Call 'kernel32::CloseHandle(p r0)'
        MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
            "KORA is running. Close it (File > Exit), then press Retry." /SD IDCANCEL IDRETRY retry
        SetErrorLevel 2
        Quit
        retry:
    ${Loop}
FunctionEnd
!macroend
!insertmacro WaitUntilKoraEnds ""
!insertmacro WaitUntilKoraEnds "un."

; Makes the report folder and proves KORA can write in it: $0 is "refused" if not.
Function CheckReportDir
    ClearErrors
    CreateDirectory "$ReportDir"
    FileOpen $0 "$ReportDir\kora-setup-check.tmp" w
    ${If} ${Errors}
        StrCpy $0 "refused"
    ${Else}
        FileClose $0
        Delete "$ReportDir\kora-setup-check.tmp"
        StrCpy $0 ""
    ${EndIf}
FunctionEnd

Function ReportDirLeave
    Call CheckReportDir
    ${If} $0 == "refused"
        MessageBox MB_OK|MB_ICONSTOP "KORA cannot write in $ReportDir. Choose another folder."
        Abort
    ${EndIf}
FunctionEnd

Section "KORA" SecProgram
    SectionIn RO
    Call WaitUntilKoraEnds
    ; An upgrade into another folder removes the earlier one, as its uninstaller does: the report
    ; and the settings stay. Run in place (_?=), it can give its answer before it ends.
    ${If} $OldInstDir != ""
    ${AndIf} $OldInstDir != $INSTDIR
    ${AndIf} ${FileExists} "$OldInstDir\uninstall.exe"
        DetailPrint "Removing the earlier installation in $OldInstDir"
        ExecWait '"$OldInstDir\uninstall.exe" /S _?=$OldInstDir' $0
        ${If} $0 == 0
            Delete "$OldInstDir\uninstall.exe"
            RMDir "$OldInstDir"
        ${EndIf}
    ${EndIf}
    SetOutPath "$INSTDIR"
    !include "${FILES}"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    ; A shortcut's "Start in" is the folder set as output when it is made.
    SetOutPath "$ReportDir"
    CreateShortCut "$SMPROGRAMS\KORA.lnk" "$INSTDIR\kora.exe" "" "$INSTDIR\kora.exe" 0 \
        SW_SHOWNORMAL "" "KORA weather sensor monitor: writes ${REPORT} in $ReportDir"

    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "KORA"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "The KORA developers"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\kora.exe,0"
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "ReportFolder" "$ReportDir"
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; On by default: a station left unattended comes back with its readings after a power cut.
Section "Start KORA when you log in" SecStartup
    SetOutPath "$ReportDir"
    CreateShortCut "$SMSTARTUP\KORA.lnk" "$INSTDIR\kora.exe" "" "$INSTDIR\kora.exe" 0 \
        SW_SHOWMINIMIZED "" "KORA weather sensor monitor: writes ${REPORT} in $ReportDir"
SectionEnd

Section "-Startup shortcut of an earlier install"
    ${IfNot} ${SectionIsSelected} ${SecStartup}
        Delete "$SMSTARTUP\KORA.lnk"
    ${EndIf}
SectionEnd

Function .onInit
    ${GetParameters} $R0
    ClearErrors
    ${GetOptions} $R0 "/REPORTDIR=" $ReportDir
    ; An upgrade keeps the folder chosen before.
    ${If} $ReportDir == ""
        ReadRegStr $ReportDir HKCU "${UNINSTALL_KEY}" "ReportFolder"
    ${EndIf}
    ${If} $ReportDir == ""
        StrCpy $ReportDir "$DOCUMENTS\KORA"
    ${EndIf}
    ; An upgrade keeps the user's choice of starting KORA at log-in: a Startup shortcut removed
    ; since is not put back (the components page can still tick it).
    ReadRegStr $OldInstDir HKCU "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $OldInstDir != ""
    ${AndIfNot} ${FileExists} "$SMSTARTUP\KORA.lnk"
        !insertmacro UnselectSection ${SecStartup}
    ${EndIf}
    Call WaitUntilKoraEnds
    ${If} ${Silent}
        Call CheckReportDir
        ${If} $0 == "refused"
            SetErrorLevel 3
            Quit
        ${EndIf}
    ${EndIf}
FunctionEnd

Function un.onInit
    Call un.WaitUntilKoraEnds
FunctionEnd

Section "Uninstall"
    ReadRegStr $ReportDir HKCU "${UNINSTALL_KEY}" "ReportFolder"
    Delete "$SMPROGRAMS\KORA.lnk"
    Delete "$SMSTARTUP\KORA.lnk"
    !include "${FILES}.uninstall"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
    DetailPrint "Kept: $ReportDir\${REPORT} and KORA's settings (HKEY_CURRENT_USER\Software\KORA)."
SectionEnd

Function un.onUninstSuccess
    MessageBox MB_OK|MB_ICONINFORMATION "KORA was removed. The weather report \
$ReportDir\${REPORT} and KORA's settings (HKEY_CURRENT_USER\Software\KORA) were kept." /SD IDOK
FunctionEnd
