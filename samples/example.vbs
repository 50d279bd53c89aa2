' Creates a database of the sample table, adds two records and lists them.
'   cscript //nologo example.vbs FOLDER DESCRIPTION
' FOLDER receives example.pdb; DESCRIPTION is the table description
' (samples/sample.kdx).
Option Explicit
Dim folder, kdx, rs, raw
folder = WScript.Arguments(0)
kdx = WScript.Arguments(1)

On Error Resume Next
Set rs = CreateObject("KdDao.KD_Recordset")
Check "CreateObject"
rs.CreateTable folder & "\example.pdb", kdx, "KdDao Example", "DATA", "KdSm"
Check "CreateTable"

rs.AddNew
rs("Title") = "Hike to the lake"
rs("Due") = DateSerial(2024, 5, 1) + TimeSerial(8, 30, 0)
rs("Done") = False
rs("Amount") = 18.5
rs.Update
Check "first record"

rs.AddNew
rs("Title") = "Buy batteries"
rs("Due") = DateSerial(2024, 6, 15)
rs("Done") = True
rs("Count") = 4
rs.Update
Check "second record"

rs.MoveFirst
Do While Not rs.EOF
  WScript.Echo rs("UniqueID") & "  " & rs("Title") & "  due " & rs("Due") & _
    "  done: " & rs("Done") & "  count " & rs("Count")
  rs.MoveNext
Loop

' A failure: the error number is the HRESULT, the description says why.
rs("Colour") = "red"
WScript.Echo "Colour = red: Err.Number " & Err.Number & " (&H" & Hex(Err.Number) & "): " & _
  Err.Description
Err.Clear
rs.Close

' The same file through the raw database object: typed values at offsets. A
' negative offset reads on where the last value ended; the sample table lays
' its fields out by type: Level, Done, Count, Total, Ratio, Amount, Due, Title.
Set raw = CreateObject("KdDao.KD_RawDB")
raw.OpenTable folder & "\example.pdb"
Check "OpenTable"
raw.MoveLast
WScript.Echo "record " & raw.UniqueID & " of " & raw.RecordCount & ": level " & raw.UInt8At(-1) & _
  ", done " & raw.BooleanAt(-1) & ", count " & raw.Int16At(-1) & ", total " & raw.Int32At(-1) & _
  ", ratio " & raw.SingleAt(-1) & ", amount " & raw.DoubleAt(-1) & ", due " & raw.DateAt(-1) & _
  ", title " & raw.StringAt(-1)
Check "reading"
raw.Close
WScript.Quit 0

Sub Check(what)
  If Err.Number <> 0 Then
    WScript.Echo what & " failed: " & Err.Description & " (&H" & Hex(Err.Number) & ")"
    WScript.Quit 1
  End If
End Sub
