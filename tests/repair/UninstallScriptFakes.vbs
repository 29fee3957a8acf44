' Appended by the tests to the uninstall script's own text, never shipped:
' stand-ins for what the script asks of Windows (WMI queries, the registry
' provider, the shell object, the file system), each recording every call
' to a file the test reads. Functions and classes of a script exist before
' its first statement runs, so these stand in although they follow the
' script's last statement; CreateObject and GetObject defined here hide the
' engine's own, and the real ones stay reachable through WScript. The test
' appends, after this text, FakeRecordPath() and BuildWorld(world), which
' lays out the products, the system type, the registry and the database.

Dim g_fakeWorld

Function World()
    If IsEmpty(g_fakeWorld) Then
        Set g_fakeWorld = New FakeWorld
        BuildWorld g_fakeWorld
    End If
    Set World = g_fakeWorld
End Function

Function Shown(value)
    If IsObject(value) Then
        Shown = "<object>"
    ElseIf IsEmpty(value) Then
        Shown = "<empty>"
    ElseIf VarType(value) = vbError Then
        Shown = "<missing>"
    Else
        Shown = CStr(value)
    End If
End Function

Sub Record(line)
    Dim files, file
    Set files = WScript.CreateObject("Scripting.FileSystemObject")
    Set file = files.OpenTextFile(FakeRecordPath(), 8, True)
    file.WriteLine line
    file.Close
End Sub

' (One member per Public line, and a dictionary member's entries read
' through Item: Wine's engine takes neither a list there nor an argument
' on a member.)
' Keys by path (below HKLM, no trailing separator) -> DisplayName; a key
' without the value holds Null. Kept in creation order, which is the order
' in which a parent's subkeys are enumerated.
Class FakeWorld
    Public Products
    Public SystemType
    Public Keys
    Public DeleteErrors
    Public DatabaseExists
    Public DatabaseDeleteError

    Private Sub Class_Initialize()
        Set Products = WScript.CreateObject("Scripting.Dictionary")
        SystemType = "x64-based PC"
        Set Keys = WScript.CreateObject("Scripting.Dictionary")
        Set DeleteErrors = WScript.CreateObject("Scripting.Dictionary")
        DatabaseExists = False
        DatabaseDeleteError = 0
    End Sub

    Sub AddProduct(code)
        Products.Add code, True
    End Sub
    Sub AddKey(path, displayName)
        Keys.Add path, displayName
    End Sub
    Sub FailDeletion(path, number)
        DeleteErrors.Add path, number
    End Sub

    Function SubKeys(parent)
        Dim names, path, rest
        Set names = WScript.CreateObject("Scripting.Dictionary")
        For Each path In Keys.Keys
            If Left(path, Len(parent) + 1) = parent & "\" Then
                rest = Mid(path, Len(parent) + 2)
                If InStr(rest, "\") = 0 Then names.Add rest, True
            End If
        Next
        SubKeys = names.Keys
    End Function
End Class

' ---------------------------------------------------------------- WMI

Class FakeProduct
    Public IdentifyingNumber
End Class

Class FakeComputerSystem
    Public SystemType
End Class

' For Each needs a collection: a dictionary enumerates its keys.
Class FakeCimService
    Function ExecQuery(query, flags)
        Dim found, code, item
        Record "ExecQuery|" & query & "|" & Shown(flags)
        Set found = WScript.CreateObject("Scripting.Dictionary")
        If query = "SELECT * FROM Win32_Product WHERE Name LIKE '%Tamvoro QEV%'" Then
            For Each code In World().Products
                Set item = New FakeProduct
                item.IdentifyingNumber = code
                found.Add item, True
            Next
        ElseIf query = "Select * from Win32_ComputerSystem" Then
            Set item = New FakeComputerSystem
            item.SystemType = World().SystemType
            found.Add item, True
        End If
        Set ExecQuery = found
    End Function
End Class

Class FakeNamedValues
    Sub Add(name, value)
        Record "Context|" & name & "|" & Shown(value)
    End Sub
End Class

Class FakeParameters
    Public hDefKey
    Public sSubKeyName
    Public sValueName
End Class

Class FakeMethod
    Function InParameters()
        Set InParameters = New FakeParameters
    End Function
End Class

Class FakeRegistryResult
    Public ReturnValue
    Public sNames
    Public sValue
End Class

' StdRegProv: EnumKey and GetStringValue on the world's keys.
Class FakeRegistry
    Function Methods_(name)
        Set Methods_ = New FakeMethod
    End Function

    Function ExecMethod_(name, parameters, withContext)
        Dim result, key
        Set result = New FakeRegistryResult
        key = parameters.sSubKeyName
        result.ReturnValue = 2
        If parameters.hDefKey <> &H80000002 Then
            Record "WrongRoot|" & Shown(parameters.hDefKey)
        ElseIf name = "EnumKey" Then
            Record "EnumKey|" & key & "|" & withContext
            If World().Keys.Exists(key) Then
                result.ReturnValue = 0
                result.sNames = World().SubKeys(key)
            End If
        ElseIf name = "GetStringValue" Then
            Record "GetStringValue|" & key & "|" & parameters.sValueName
            If World().Keys.Exists(key) Then
                If Not IsNull(World().Keys.Item(key)) And parameters.sValueName = "DisplayName" Then
                    result.ReturnValue = 0
                    result.sValue = World().Keys.Item(key)
                End If
            End If
        End If
        Set ExecMethod_ = result
    End Function
End Class

Class FakeSecurity
    Public ImpersonationLevel
End Class

Class FakeRegistryConnection
    Function Security()
        Set Security = New FakeSecurity
    End Function

    Function Provider(name)
        Record "Get|" & name
        Set Provider = New FakeRegistry
    End Function
End Class

' What VBScript cannot define, JScript objects carry and hand on to the
' classes above: a method named "Get" (a word VBScript keeps for itself),
' and methods called with two or with four arguments (ExecMethod_) or with
' one or three (ExecQuery).
Dim g_fakeBridge

Function Bridge()
    If IsEmpty(g_fakeBridge) Then
        Set g_fakeBridge = WScript.CreateObject("MSScriptControl.ScriptControl")
        g_fakeBridge.Language = "JScript"
        g_fakeBridge.AddCode _
            "function CimService(c) { var s = new Object();" & _
            " s.ExecQuery = function (q, l, f) { return c.ExecQuery(q, arguments.length >= 3 ? f : '<missing>'); };" & _
            " return s; }" & _
            "function RegistryService(c) { var s = new Object(); s.Security_ = c.Security();" & _
            " s.Get = function (name) { return Registry(c.Provider(name)); }; return s; }" & _
            "function Registry(r) { var o = new Object();" & _
            " o.Methods_ = function (name) { return r.Methods_(name); };" & _
            " o.ExecMethod_ = function (name, p) { return r.ExecMethod_(name, p, arguments.length >= 4); };" & _
            " return o; }"
    End If
    Set Bridge = g_fakeBridge
End Function

Class FakeLocator
    Function ConnectServer(server, space, user, password, locale, authority, security, context)
        Record "ConnectServer|" & server & "|" & space & "|" & Shown(context)
        Set ConnectServer = Bridge().Run("RegistryService", New FakeRegistryConnection)
    End Function
End Class

' ---------------------------------------------------------------- shell and files

Class FakeShell
    Sub Run(command, style, wait)
        Record "Run|" & command & "|" & Shown(style) & "|" & Shown(wait)
    End Sub

    Sub RegDelete(path)
        Dim key
        Record "RegDelete|" & path
        key = Mid(path, Len("HKLM\") + 1)
        If Right(key, 1) = "\" Then key = Left(key, Len(key) - 1)
        If Left(path, 5) <> "HKLM\" Or Not World().Keys.Exists(key) Then
            Err.Raise -2147024894  ' not found
        ElseIf World().DeleteErrors.Exists(key) Then
            Err.Raise World().DeleteErrors.Item(key)
        Else
            World().Keys.Remove key
        End If
    End Sub

    Sub LogEvent(kind, text)
        Record "LogEvent|" & Shown(kind) & "|" & text
    End Sub
End Class

Class FakeFolder
    Public Path
End Class

Class FakeFiles
    Function GetSpecialFolder(which)
        Dim folder
        Set folder = New FakeFolder
        If which = 0 Then folder.Path = "C:\windows"
        Set GetSpecialFolder = folder
    End Function

    Function FileExists(path)
        Record "FileExists|" & path
        FileExists = World().DatabaseExists
    End Function

    Sub DeleteFile(path)
        Record "DeleteFile|" & path
        If World().DatabaseDeleteError <> 0 Then Err.Raise World().DatabaseDeleteError
    End Sub
End Class

Function GetObject(moniker)
    Record "GetObject|" & moniker
    Set GetObject = Bridge().Run("CimService", New FakeCimService)
End Function

Function CreateObject(progId)
    Select Case progId
    Case "WScript.Shell"
        Set CreateObject = New FakeShell
    Case "Scripting.FileSystemObject"
        Set CreateObject = New FakeFiles
    Case "WbemScripting.SWbemLocator"
        Set CreateObject = New FakeLocator
    Case "WbemScripting.SWbemNamedValueSet"
        Set CreateObject = New FakeNamedValues
    Case Else
        Set CreateObject = WScript.CreateObject(progId)
    End Select
End Function
