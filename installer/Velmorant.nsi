; Velmorant's setup program. The plug-in goes into the folder the user's host
; scans for VST plug-ins; the engine, the presets and the documents go into
; Program Files\Korvanta\Velmorant; the engine's full path is written where
; the plug-in looks for it (HKLM Software\Korvanta\SoftSynth, value Velmorant,
; in the registry view of the plug-in's own bitness). The uninstaller removes
; exactly that: its files by name, the folders this setup created (recorded
; at install time) when they are empty, and its own registry values.
;
;   makensis -V2 -DVERSION=1.0.0 -DARCH=win32|win64 -DSTAGE=/abs/stage \
;            [-DOUTFILE=file.exe] installer/Velmorant.nsi
;
; STAGE holds Velmorant.dll, VelmorantEngine.dll, both engine host programs,
; Velmorant.Runtime\ (the i686 runtime: the 32-bit plug-in's and the 32-bit
; engine host's), Presets\*.fxp, README.txt and LICENSE.txt. The engine host
; programs go beside the plug-in, where it looks for them. makensis works in this
; script's folder, so a relative OUTFILE lands here; the default is
; Velmorant-VERSION-ARCH-setup.exe.

Unicode true

!ifndef VERSION | STAGE | ARCH
    !error "define VERSION, ARCH (win32 or win64) and STAGE"
!endif

; win64 runs on the 64-bit stub: Windows refuses to start it on 32-bit
; Windows, it writes Program Files and the 64-bit registry view natively, and
; it starts as fast as any 64-bit program. .onInit checks RunningX64 anyway.
!if "${ARCH}" == "win64"
    Target amd64-unicode
    !define PROGRAM_FILES "$PROGRAMFILES64"
    !define REG_VIEW 64
    !define BITS "64-bit"
!else if "${ARCH}" == "win32"
    Target x86-unicode
    !define PROGRAM_FILES "$PROGRAMFILES32"
    !define REG_VIEW 32
    !define BITS "32-bit"
!else
    !error "ARCH is win32 or win64, not ${ARCH}"
!endif

!ifndef OUTFILE
    !define OUTFILE "Velmorant-${VERSION}-${ARCH}-setup.exe"
!endif

!if ! /FileExists "${STAGE}/Velmorant.dll"
    !error "no Velmorant.dll in the stage ${STAGE}"
!endif

; The names of the presets and of the runtime assembly's files, listed from
; the stage into macros that install and remove them.
!tempfile STAGE_LIST
!system 'sh list-stage.sh "${STAGE}" "${STAGE_LIST}"' = 0
!include "${STAGE_LIST}"
!delfile "${STAGE_LIST}"
!if ${RuntimeCount} == 0
    !error "the stage has no Velmorant.Runtime folder"
!endif
!if ! /FileExists "${STAGE}/VelmorantEngineHost32.exe"
    !error "no VelmorantEngineHost32.exe in the stage ${STAGE}"
!endif
!if ! /FileExists "${STAGE}/VelmorantEngineHost64.exe"
    !error "no VelmorantEngineHost64.exe in the stage ${STAGE}"
!endif

; What goes beside the plug-in: itself, the engine host programs, the runtime.
!macro RemovePluginFiles FOLDER
    Delete "${FOLDER}\Velmorant.dll"
    Delete "${FOLDER}\VelmorantEngineHost32.exe"
    Delete "${FOLDER}\VelmorantEngineHost64.exe"
    !insertmacro RemoveRuntime "${FOLDER}\Velmorant.Runtime"
!macroend

!define PRODUCT_KEY "Software\Korvanta\Velmorant"
!define ENGINE_KEY "Software\Korvanta\SoftSynth"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Velmorant"
!define ENGINE_VALUE "Velmorant"

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include x64.nsh

Name "Velmorant ${VERSION} (${BITS})"
OutFile "${OUTFILE}"
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestDPIAware true
ShowInstDetails show
ShowUninstDetails show

; The plug-in folder; an earlier install's choice comes back on upgrade. A
; 32-bit setup reads the 32-bit view and a 64-bit one the 64-bit view, the
; same views the install writes.
InstallDir "${PROGRAM_FILES}\VstPlugins"
InstallDirRegKey HKLM "${PRODUCT_KEY}" "PluginFolder"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "Velmorant"
VIAddVersionKey /LANG=1033 "CompanyName" "Korvanta"
VIAddVersionKey /LANG=1033 "FileDescription" "Velmorant ${VERSION} (${BITS}) setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Korvanta"

Var EngineFolder

!define MUI_ABORTWARNING
!define MUI_DIRECTORYPAGE_TEXT_TOP "Setup puts the Velmorant plug-in (Velmorant.dll) into the folder your host scans for VST plug-ins. Choose that folder.$\r$\n$\r$\nThe sound engine, the presets and the documents go to ${PROGRAM_FILES}\Korvanta\Velmorant."
!define MUI_DIRECTORYPAGE_TEXT_DESTINATION "VST plug-in folder"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Function .onInit
    !if "${ARCH}" == "win64"
        ${IfNot} ${RunningX64}
            MessageBox MB_ICONSTOP|MB_OK "This is the 64-bit Velmorant, for 64-bit Windows and 64-bit hosts.$\r$\nOn 32-bit Windows use Velmorant-${VERSION}-win32-setup.exe." /SD IDOK
            Abort
        ${EndIf}
    !endif
    SetRegView ${REG_VIEW}
    StrCpy $EngineFolder "${PROGRAM_FILES}\Korvanta\Velmorant"
FunctionEnd

; Creates the folder on top of the stack with any missing parents and records
; every folder it made, outermost first, as CreatedFolderN (N from 1, the
; count in CreatedFolders) under the product key. Folders that already exist
; are not recorded, so installing again adds nothing and the uninstaller,
; which removes the recorded ones innermost first when empty, leaves every
; folder that was there before.
Function EnsureFolder
    Exch $0
    Push $1
    Push $2
    Push $3
    StrCpy $1 $0
    StrCpy $2 0
    ${DoUntil} $1 == ""
        ${If} ${FileExists} "$1\*.*"
            ${Break}
        ${EndIf}
        Push $1
        IntOp $2 $2 + 1
        ${GetParent} $1 $1
    ${Loop}
    ClearErrors
    CreateDirectory $0
    ${IfNot} ${FileExists} "$0\*.*"
        MessageBox MB_ICONSTOP|MB_OK "Setup cannot create the folder$\r$\n$0" /SD IDOK
        Abort
    ${EndIf}
    ${DoWhile} $2 > 0
        Pop $1
        ReadRegDWORD $3 HKLM "${PRODUCT_KEY}" "CreatedFolders"
        IntOp $3 $3 + 1
        WriteRegStr HKLM "${PRODUCT_KEY}" "CreatedFolder$3" $1
        WriteRegDWORD HKLM "${PRODUCT_KEY}" "CreatedFolders" $3
        IntOp $2 $2 - 1
    ${Loop}
    Pop $3
    Pop $2
    Pop $1
    Pop $0
FunctionEnd

Section "Velmorant"
    SetRegView ${REG_VIEW}

    ; A plug-in folder chosen anew: the old folder loses the plug-in, so a
    ; host does not find two copies. Its folders stay recorded; the
    ; uninstaller removes them if they are empty by then.
    ReadRegStr $0 HKLM "${PRODUCT_KEY}" "PluginFolder"
    ${If} $0 != ""
    ${AndIf} $0 != $INSTDIR
        !insertmacro RemovePluginFiles $0
        RMDir "$0\Velmorant.Runtime"
    ${EndIf}

    Push $INSTDIR
    Call EnsureFolder
    SetOutPath $INSTDIR
    File "${STAGE}/Velmorant.dll"
    File "${STAGE}/VelmorantEngineHost32.exe"
    File "${STAGE}/VelmorantEngineHost64.exe"
    Push "$INSTDIR\Velmorant.Runtime"
    Call EnsureFolder
    SetOutPath "$INSTDIR\Velmorant.Runtime"
    !insertmacro InstallRuntime

    Push $EngineFolder
    Call EnsureFolder
    Push "$EngineFolder\Presets"
    Call EnsureFolder
    SetOutPath $EngineFolder
    File "${STAGE}/VelmorantEngine.dll"
    File "${STAGE}/README.txt"
    File "${STAGE}/LICENSE.txt"
    SetOutPath "$EngineFolder\Presets"
    !insertmacro InstallPresets
    SetOutPath $EngineFolder
    WriteUninstaller "$EngineFolder\Uninstall.exe"

    WriteRegStr HKLM "${ENGINE_KEY}" "${ENGINE_VALUE}" "$EngineFolder\VelmorantEngine.dll"
    WriteRegStr HKLM "${PRODUCT_KEY}" "PluginFolder" $INSTDIR
    WriteRegStr HKLM "${PRODUCT_KEY}" "EngineFolder" $EngineFolder
    WriteRegStr HKLM "${PRODUCT_KEY}" "Version" "${VERSION}"

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Velmorant (${BITS})"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Korvanta"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$EngineFolder\Uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$EngineFolder\Uninstall.exe" /S'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" $EngineFolder
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
    SectionGetSize 0 $0
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Function un.onInit
    SetRegView ${REG_VIEW}
FunctionEnd

Section "Uninstall"
    SetRegView ${REG_VIEW}
    ReadRegStr $0 HKLM "${PRODUCT_KEY}" "PluginFolder"
    ReadRegStr $1 HKLM "${PRODUCT_KEY}" "EngineFolder"
    ${If} $1 == ""
        StrCpy $1 $INSTDIR
    ${EndIf}

    ${If} $0 != ""
        !insertmacro RemovePluginFiles $0
    ${EndIf}
    Delete "$1\VelmorantEngine.dll"
    Delete "$1\README.txt"
    Delete "$1\LICENSE.txt"
    !insertmacro RemovePresets "$1\Presets"
    Delete "$1\Uninstall.exe"

    ReadRegDWORD $2 HKLM "${PRODUCT_KEY}" "CreatedFolders"
    ${DoWhile} $2 > 0
        ReadRegStr $3 HKLM "${PRODUCT_KEY}" "CreatedFolder$2"
        ${If} $3 != ""
            RMDir $3
        ${EndIf}
        IntOp $2 $2 - 1
    ${Loop}

    ; Other programs' values under the engine key stay, and so does the key
    ; while it holds any.
    DeleteRegValue HKLM "${ENGINE_KEY}" "${ENGINE_VALUE}"
    DeleteRegKey /ifempty HKLM "${ENGINE_KEY}"
    DeleteRegKey HKLM "${PRODUCT_KEY}"
    DeleteRegKey /ifempty HKLM "Software\Korvanta"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
