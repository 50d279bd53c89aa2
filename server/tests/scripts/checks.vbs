' Checks shared by the VBScript clients of this folder. run_script.sh puts
' this file in front of each of them: Wine's script host can include no file
' (neither ExecuteGlobal nor .wsf files work).
'
' Defines dir (the work directory, the first argument), failures (the count
' of failed checks) and scratch (a raw database object that each script opens
' on a table of its own, for byte arrays).
Option Explicit
On Error Resume Next

Dim dir, failures, scratch
dir = WScript.Arguments(0)
failures = 0

'' --- Checks -----------------------------------------------------------------

' Ends the script: status 0 when every check passed, else 1.
Sub Finish()
  If failures = 0 Then
    WScript.Echo "all checks passed"
    WScript.Quit 0
  End If
  WScript.Echo failures & " checks failed"
  WScript.Quit 1
End Sub

' The current error as the script sees it, with the work directory shortened.
Function ErrText()
  ErrText = Hex(Err.Number) & " " & Replace(Err.Description, dir, "<dir>")
End Function

Sub Pass(text)
  WScript.Echo "ok   " & text
End Sub

Sub Fail(text)
  WScript.Echo "FAIL " & text
  failures = failures + 1
End Sub

' A step that must succeed.
Sub Done(what)
  If Err.Number = 0 Then Pass what Else Fail what & ": " & ErrText()
  Err.Clear
End Sub

' A value that a step produced: shown with its type, compared with the text
' expected.
Sub Same(what, value, expected)
  Dim shown
  If Err.Number <> 0 Then
    Fail what & ": " & ErrText()
  Else
    shown = Show(value)
    If shown = expected Then Pass what & " = " & shown Else Fail what & " = " & shown & ", want " & expected
  End If
  Err.Clear
End Sub

' A step that must fail with this error number and description.
Sub Raised(what, number, description)
  If Err.Number = 0 Then
    Fail what & ": no error, want " & Hex(number) & " " & description
  ElseIf Err.Number = number And Replace(Err.Description, dir, "<dir>") = description Then
    Pass what & ": " & ErrText()
  Else
    Fail what & ": " & ErrText() & ", want " & Hex(number) & " " & description
  End If
  Err.Clear
End Sub

Function Show(value)
  Select Case VarType(value)
    Case vbDate
      Show = Year(value) & "-" & Two(Month(value)) & "-" & Two(Day(value)) & " " & _
             Two(Hour(value)) & ":" & Two(Minute(value)) & ":" & Two(Second(value)) & " (Date)"
    Case vbString
      Show = """" & value & """ (String)"
    Case vbArray + vbByte
      Show = HexOf(value) & " (Byte array)"
    Case Else
      Show = CStr(value) & " (" & TypeName(value) & ")"
  End Select
End Function

Function Two(number)
  Two = Right("0" & number, 2)
End Function

' --- Byte arrays ------------------------------------------------------------
' Wine's VBScript passes byte arrays on, but UBound, LBound and bytes(i) fail on
' them with "Object doesn't support this action", and it has no LenB, AscB or
' MidB; so bytes go through the record buffer of a scratch table.

' The bytes of a byte array in hex ("-" when empty).
Function HexOf(bytes)
  Dim text, i, b
  On Error Resume Next
  Err.Clear
  scratch.RecordData = bytes
  If Err.Number <> 0 Then
    HexOf = "(no byte array: " & ErrText() & ")"
    Err.Clear
    Exit Function
  End If
  text = ""
  i = 0
  Do
    b = scratch.UInt8At(i)
    If Err.Number <> 0 Then Exit Do
    text = text & Two(Hex(b))
    i = i + 1
  Loop
  If Err.Number <> &H8004272E Then text = text & " (then " & ErrText() & ")"
  Err.Clear
  If text = "" Then text = "-"
  HexOf = text
End Function
