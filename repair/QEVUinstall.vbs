' Removes the installed QEV agent before a fresh copy goes on: every Windows
' Installer product of the agent, the installer registrations that outlive
' it and the agent's general database. A deletion that fails is written to
' the Application event log. The script shows nothing and always ends with
' exit code 0; the reinstall waits for it, so no scripting error may stop it
' with a message box: every procedure carries on past errors and checks what
' it got before using it.
Option Explicit

Const HKEY_LOCAL_MACHINE = &H80000002
Const EVENT_ERROR = 1
Const RETURN_IMMEDIATELY_FORWARD_ONLY = 48
Const MAX_REGISTRATIONS = 10
Const INSTALLER_DISPLAY_NAME = "QEV Installer"
Const DEPENDENCIES_KEY = "SOFTWARE\Classes\Installer\Dependencies\"
Const UNINSTALL_KEY = "SOFTWARE\WOW6432Node\Microsoft\Windows\CurrentVersion\Uninstall\"
Const PRODUCT_QUERY = "SELECT * FROM Win32_Product WHERE Name LIKE '%Tamvoro QEV%'"
Const SYSTEM_QUERY = "Select * from Win32_ComputerSystem"

' The registry provider and the context its calls carry (Nothing: none).
Dim g_registry, g_registryContext
Set g_registry = Nothing
Set g_registryContext = Nothing

' Hands every installed agent product to msiexec, one after the other.
' The product codes are collected first so that no uninstall runs while the
' installer's product list is still being enumerated.
Sub UninstallProducts(shell)
    On Error Resume Next
    Dim service, products, product, codes(), count, code, i
    count = 0
    Set service = GetObject("winmgmts:{impersonationLevel=impersonate}!\\.\root\cimv2")
    If Err.Number <> 0 Then Exit Sub
    Set products = service.ExecQuery(PRODUCT_QUERY)
    If Err.Number <> 0 Then Exit Sub
    For Each product In products
        If Err.Number <> 0 Then Exit For
        code = product.IdentifyingNumber
        If Err.Number = 0 And VarType(code) = vbString Then
            If Len(code) > 0 Then
                ReDim Preserve codes(count)
                codes(count) = code
                count = count + 1
            End If
        End If
        Err.Clear
    Next
    Err.Clear
    For i = 0 To count - 1
        shell.Run "msiexec.exe /x " & codes(i) & " /norestart /qn ", , True
        Err.Clear
    Next
End Sub

' Does Win32_ComputerSystem report a 64-bit system type? Only there do the
' registration clean-up and the database deletion run; a query that fails
' counts as "no", which leaves them undone.
Function IsSystem64Bit()
    On Error Resume Next
    Dim service, systems, system, systemType
    IsSystem64Bit = False
    Set service = GetObject("winmgmts:{impersonationLevel=impersonate}!\\.\root\cimv2")
    If Err.Number <> 0 Then Exit Function
    Set systems = service.ExecQuery(SYSTEM_QUERY, , RETURN_IMMEDIATELY_FORWARD_ONLY)
    If Err.Number <> 0 Then Exit Function
    For Each system In systems
        If Err.Number <> 0 Then Exit For
        systemType = system.SystemType
        If Err.Number = 0 And VarType(systemType) = vbString Then
            If InStr(systemType, "64") > 0 Then IsSystem64Bit = True
        End If
        Err.Clear
    Next
End Function

' The registry is read through StdRegProv. QEVZUN is a 32-bit program, so on
' a 64-bit system this script runs in the 32-bit script host, whose provider
' calls see the 32-bit registry view unless they ask for another. The keys
' below are written as the 64-bit view names them (the uninstall key through
' its physical WOW6432Node path), so on a 64-bit system every provider call
' asks for the 64-bit provider, on the connection and on each call. The
' Classes\Installer key is shared by both views, and the deletions through
' the shell object reach the same keys: in the 32-bit view WOW6432Node names
' the 32-bit key itself.
Sub ConnectRegistry(is64Bit)
    On Error Resume Next
    Dim locator, service, context
    Set g_registry = Nothing
    Set g_registryContext = Nothing
    If is64Bit Then
        Set context = CreateObject("WbemScripting.SWbemNamedValueSet")
        If Err.Number <> 0 Then Exit Sub
        context.Add "__ProviderArchitecture", 64
        context.Add "__RequiredArchitecture", True
        If Err.Number <> 0 Then Exit Sub
    Else
        Set context = Nothing
    End If
    Set locator = CreateObject("WbemScripting.SWbemLocator")
    If Err.Number <> 0 Then Exit Sub
    Set service = locator.ConnectServer(".", "root\default", "", "", , , , context)
    If Err.Number <> 0 Then Exit Sub
    service.Security_.ImpersonationLevel = 3
    Err.Clear
    Set g_registry = service.Get("StdRegProv")
    If Err.Number <> 0 Then
        Set g_registry = Nothing
        Exit Sub
    End If
    Set g_registryContext = context
End Sub

' Runs one StdRegProv method with its arguments set on the method's input
' object; Nothing when the call could not be made.
Function CallRegistry(method, keyPath, valueName)
    On Error Resume Next
    Dim parameters, result
    Set CallRegistry = Nothing
    If g_registry Is Nothing Then Exit Function
    Set parameters = g_registry.Methods_(method).InParameters
    If Err.Number <> 0 Then Exit Function
    parameters.hDefKey = HKEY_LOCAL_MACHINE
    parameters.sSubKeyName = keyPath
    If Len(valueName) > 0 Then parameters.sValueName = valueName
    If Err.Number <> 0 Then Exit Function
    If g_registryContext Is Nothing Then
        Set result = g_registry.ExecMethod_(method, parameters)
    Else
        Set result = g_registry.ExecMethod_(method, parameters, 0, g_registryContext)
    End If
    If Err.Number <> 0 Then Exit Function
    Set CallRegistry = result
End Function

' The names of a key's subkeys, or Empty when it has none or cannot be read.
Function SubKeyNames(keyPath)
    On Error Resume Next
    Dim result, names
    SubKeyNames = Empty
    Set result = CallRegistry("EnumKey", keyPath, "")
    If result Is Nothing Then Exit Function
    If result.ReturnValue <> 0 Or Err.Number <> 0 Then Exit Function
    names = result.sNames
    If Err.Number = 0 And IsArray(names) Then SubKeyNames = names
End Function

' A key's "DisplayName" string, or an empty text when there is none.
Function DisplayNameOf(keyPath)
    On Error Resume Next
    Dim result, value
    DisplayNameOf = ""
    Set result = CallRegistry("GetStringValue", keyPath, "DisplayName")
    If result Is Nothing Then Exit Function
    If result.ReturnValue <> 0 Or Err.Number <> 0 Then Exit Function
    value = result.sValue
    If Err.Number = 0 And VarType(value) = vbString Then DisplayNameOf = value
End Function

' Only a real subkey name is acted on: an empty one would name the parent.
Function IsSubKeyName(name)
    IsSubKeyName = False
    If VarType(name) = vbString Then IsSubKeyName = (Len(name) > 0)
End Function

' The first ten dependency registrations named "QEV Installer", as a
' dictionary of their key names (compared exactly, case included).
Function CollectInstallerRegistrations()
    On Error Resume Next
    Dim remembered, names, name
    Set remembered = CreateObject("Scripting.Dictionary")
    If Err.Number <> 0 Then
        Set CollectInstallerRegistrations = Nothing
        Exit Function
    End If
    remembered.CompareMode = vbBinaryCompare
    Set CollectInstallerRegistrations = remembered
    names = SubKeyNames(Left(DEPENDENCIES_KEY, Len(DEPENDENCIES_KEY) - 1))
    If Not IsArray(names) Then Exit Function
    Err.Clear
    For Each name In names
        If Err.Number <> 0 Then Exit For
        If IsSubKeyName(name) Then
            If DisplayNameOf(DEPENDENCIES_KEY & name) = INSTALLER_DISPLAY_NAME Then
                If remembered.Count >= MAX_REGISTRATIONS Then Exit For
                If Not remembered.Exists(name) Then remembered.Add name, True
            End If
        End If
        Err.Clear
    Next
End Function

' Whether the name is one of the collected registrations. Asked here, where an error only leaves
' the answer False: an error in the condition of a block If would carry on
' inside the block.
Function IsRemembered(remembered, name)
    On Error Resume Next
    IsRemembered = False
    If Not IsObject(remembered) Then Exit Function
    If remembered Is Nothing Then Exit Function
    IsRemembered = (remembered.Exists(name) = True)
End Function

Sub ReportFailure(shell, text, errorNumber)
    On Error Resume Next
    shell.LogEvent EVENT_ERROR, text & CStr(errorNumber)
End Sub

' Deletes a key through the shell object; when it stays, the event log gets
' the text and the scripting error number.
Sub DeleteKeyOrReport(shell, keyPath, text)
    On Error Resume Next
    Dim failure
    Err.Clear
    shell.RegDelete "HKLM\" & keyPath & "\"
    failure = Err.Number
    If failure <> 0 Then ReportFailure shell, text, failure
End Sub

' Removes the uninstall registrations: those of the collected names and
' those that carry the installer's display name.
Sub CleanUninstallRegistrations(shell, remembered)
    On Error Resume Next
    Dim names, name, keyPath
    names = SubKeyNames(Left(UNINSTALL_KEY, Len(UNINSTALL_KEY) - 1))
    If Not IsArray(names) Then Exit Sub
    Err.Clear
    For Each name In names
        If Err.Number <> 0 Then Exit For
        If IsSubKeyName(name) Then
            keyPath = UNINSTALL_KEY & name
            If IsRemembered(remembered, name) Then
                DeleteKeyOrReport shell, keyPath, "QEVUinstall from uuidArr falied , error code = "
            End If
            ' A key deleted just now has no display name left to match.
            If DisplayNameOf(keyPath) = INSTALLER_DISPLAY_NAME Then
                DeleteKeyOrReport shell, keyPath, "QEVUinstall falied , error code = "
            End If
        End If
        Err.Clear
    Next
End Sub

' Deletes the general database on the system drive.
Sub DeleteGeneralDatabase(shell)
    On Error Resume Next
    Dim files, windowsFolder, databasePath, failure
    Set files = CreateObject("Scripting.FileSystemObject")
    If Err.Number <> 0 Then Exit Sub
    windowsFolder = files.GetSpecialFolder(0).Path
    If Err.Number <> 0 Or Len(windowsFolder) < 3 Then Exit Sub
    databasePath = Left(windowsFolder, 3) & "ProgramData\Wexo\QEV\db_general"
    If Not files.FileExists(databasePath) Then Exit Sub
    If Err.Number <> 0 Then Exit Sub
    files.DeleteFile databasePath
    failure = Err.Number
    If failure <> 0 Then ReportFailure shell, "QEVUinstall DeleteFolder falied , error code = ", failure
End Sub

Sub Main()
    On Error Resume Next
    Dim shell, is64Bit, remembered
    Set shell = CreateObject("WScript.Shell")
    If Err.Number <> 0 Then Exit Sub
    UninstallProducts shell
    ' The system type is read before the registrations are collected, as it
    ' also chooses the registry view; it decides what runs only afterwards.
    is64Bit = IsSystem64Bit()
    ConnectRegistry is64Bit
    Set remembered = CollectInstallerRegistrations()
    If Not is64Bit Then Exit Sub
    CleanUninstallRegistrations shell, remembered
    DeleteGeneralDatabase shell
End Sub

On Error Resume Next
Main
WScript.Quit 0
