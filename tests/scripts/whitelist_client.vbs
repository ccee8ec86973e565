' An outside automation client of the white list object, in VBScript.
' VBScript passes variables by reference (VT_BYREF|VT_VARIANT), so the
' out-arguments of GetFirst, GetNext and GetWhiteList reach it.  Exits with
' the number of failed checks.
Option Explicit

Dim failures : failures = 0

Sub Check(ok, what)
  If Not ok Then
    WScript.Echo "FAIL: " & what
    failures = failures + 1
  End If
End Sub

' Script engines may report an automation error as the HRESULT itself or as
' their own run-time error of the same meaning.
Function IsTypeMismatch(n)
  IsTypeMismatch = (n = 13 Or n = &H80020005)
End Function
Function IsBadParamCount(n)
  IsBadParamCount = (n = 450 Or n = &H8002000E)
End Function

' Joins the elements of an array (the engine's own Join is not everywhere).
Function JoinAll(a)
  Dim i, out
  out = ""
  For i = LBound(a) To UBound(a)
    If i > LBound(a) Then out = out & ","
    out = out & a(i)
  Next
  JoinAll = out
End Function

Function Enumerate(wl)
  Dim s, all, guard
  all = ""
  guard = 0
  wl.GetFirst s
  Do While s <> "" And guard < 100
    all = all & s & ";"
    wl.GetNext s
    guard = guard + 1
  Loop
  Enumerate = all
End Function

Dim wl : Set wl = CreateObject("Quillvane.WhiteList")
Dim s, v, n

' Empty list: GetFirst leaves an empty string, GetWhiteList gives Empty.
s = "old"
wl.GetFirst s
Check VarType(s) = vbString And s = "", "GetFirst on an empty list gives an empty string"
v = Array("old")
wl.GetWhiteList v
Check IsEmpty(v), "GetWhiteList on an empty list gives Empty"

wl.Add "c.test"
wl.Add "A.Test"
wl.Add "b.test"
wl.Add "a.TEST"
Check Enumerate(wl) = "a.test;b.test;c.test;", "enumeration in order: " & Enumerate(wl)

' An enumeration running across a change restarts from the second site.
wl.GetFirst s
Check s = "a.test", "GetFirst"
wl.GetNext s
Check s = "b.test", "GetNext"
wl.Add "d.test"
wl.GetNext s
Check s = "b.test", "restart after a change: " & s
wl.GetNext s
wl.GetNext s
wl.GetNext s
Check s = "", "past the end"
wl.GetNext s
Check s = "", "still past the end"

' GetWhiteList: a zero-based array of strings in order.
wl.GetWhiteList v
Check VarType(v) = (vbArray + vbVariant), "array type " & VarType(v)
Check LBound(v) = 0 And UBound(v) = 3, "bounds " & LBound(v) & ".." & UBound(v)
Check JoinAll(v) = "a.test,b.test,c.test,d.test", "GetWhiteList: " & JoinAll(v)

' Find.
Check wl.Find("http://a.test/index.html") = True, "Find a site"
Check wl.Find("http://www.a.test/") = False, "no subdomain matching"
wl.Add "Example.com"
Check wl.Find("http://shop.example.com/x") = False, "shop.example.com with example.com stored"
wl.Add "shop.example.com"
Check wl.Find("http://shop.example.com/x") = True, "shop.example.com stored"

' Delete.
wl.Delete "B.TEST"
wl.Delete "not.there"
Check Enumerate(wl) = "a.test;c.test;d.test;example.com;shop.example.com;", "after Delete: " & Enumerate(wl)

' PutWhiteList: strings lower-cased, duplicates collapse, others skipped.
wl.PutWhiteList Array("Zeta.test", "alpha.test", 5, "ZETA.TEST", Null)
Check Enumerate(wl) = "alpha.test;zeta.test;", "after PutWhiteList: " & Enumerate(wl)
' The array read back goes straight in again (here by reference).
wl.GetWhiteList v
wl.PutWhiteList v
Check Enumerate(wl) = "alpha.test;zeta.test;", "round trip: " & Enumerate(wl)

On Error Resume Next
' Values that are not arrays of variants are refused and change nothing.
Err.Clear
wl.PutWhiteList "a.test"
n = Err.Number
Check IsTypeMismatch(n), "PutWhiteList of a string: " & Hex(n)
Err.Clear
wl.PutWhiteList 12
n = Err.Number
Check IsTypeMismatch(n), "PutWhiteList of a number: " & Hex(n)
' A constant is passed by value: the out-argument methods refuse it.
Err.Clear
wl.GetFirst "constant"
n = Err.Number
Check IsTypeMismatch(n), "GetFirst of a constant: " & Hex(n)
Err.Clear
wl.GetNext (s)
n = Err.Number
Check IsTypeMismatch(n), "GetNext of a value in parentheses: " & Hex(n)
Err.Clear
wl.Add
n = Err.Number
Check IsBadParamCount(n), "Add without argument: " & Hex(n)
Err.Clear
wl.DeleteAll 1
n = Err.Number
Check IsBadParamCount(n), "DeleteAll with an argument: " & Hex(n)
Err.Clear
wl.Add Null
n = Err.Number
Check IsTypeMismatch(n), "Add of Null: " & Hex(n)
Err.Clear
On Error GoTo 0
Check Enumerate(wl) = "alpha.test;zeta.test;", "refusals changed nothing: " & Enumerate(wl)

' Empty empties the list; so does DeleteAll.
wl.PutWhiteList Empty
Check Enumerate(wl) = "", "PutWhiteList Empty"
wl.Add "x.test"
wl.DeleteAll
Check Enumerate(wl) = "", "DeleteAll"
wl.GetWhiteList v
Check IsEmpty(v), "GetWhiteList after DeleteAll"

Set wl = Nothing
If failures = 0 Then
  WScript.Echo "whitelist_client.vbs: all checks passed"
Else
  WScript.Echo "whitelist_client.vbs: " & failures & " failed"
End If
WScript.Quit failures
