' KD_Recordset from VBScript, late bound, over the sample table description
' (a field of every type): a picture round trip through the platform's picture
' objects, a new database, records written through the default member
' rs("Title") = ... and through FieldByIndex, read back with their automation
' types, an edit, AppInfo and SortInfo blocks from byte arrays, and the errors
' a script sees.
'
' Arguments: the directory to work in, the table description file. Prints one
' line per check ("ok" or "FAIL"); exits with 1 when a check failed.
'
' Runs after checks.vbs, which run_script.sh puts in front of it.

Dim kdx
kdx = WScript.Arguments(1)

' A byte array of the bytes written in hex (spaces allowed).
Function BytesFromHex(text)
  Dim digits, i
  On Error Resume Next
  Err.Clear
  digits = Replace(text, " ", "")
  scratch.Blank
  For i = 1 To Len(digits) Step 2
    scratch.UInt8At(-1) = CLng("&H" & Mid(digits, i, 2))
  Next
  BytesFromHex = scratch.RecordData
  If Err.Number <> 0 Then Fail "BytesFromHex(""" & text & """): " & ErrText()
  Err.Clear
End Function

' --- The script ---------------------------------------------------------------

Dim rs, path, due, v, i, count, kinds, bitmaps, digits, bitmap, picture, back, expected, names

Set scratch = CreateObject("KdDao.KD_RawDB")
scratch.CreateTable dir & "\bytes.scratch", "scratch", "DATA", "KdTs"
Done "scratch table for byte arrays"

Set rs = CreateObject("KdDao.KD_Recordset")
Done "CreateObject(""KdDao.KD_Recordset"")"
path = dir & "\recordset.pdb"

v = rs("Title")
Raised "rs(""Title"") before a table is open", &H80042720, "Recordset not opened."

' Device bitmaps to pictures and back; no table is needed. Each comes back
' the same but for the reserved word (bytes 12 to 15), which the encoder sets.
kinds = Array("8-bit bitmap, 3 x 2, palette indices 0 125 230 / 5 18 107", _
              "16-bit bitmap, 2 x 1, red F800 and green 07E0")
bitmaps = Array("626D 0003 0002 0004 08 02 0048 00000000 007DE600 05126B00", _
                "626D 0002 0001 0004 10 02 0048 00000000 F800 07E0")
For i = 0 To 1
  Set picture = rs.CreateOlePicture(BytesFromHex(bitmaps(i)))
  Done "CreateOlePicture of the " & kinds(i)
  v = picture.Type : Same "picture.Type", v, "1 (Integer)"
  back = rs.CreateKDBitmap(picture)
  digits = Replace(bitmaps(i), " ", "")
  Same "CreateKDBitmap(picture)", back, Left(digits, 24) & "FFFFFFFF" & Mid(digits, 33) & " (Byte array)"
Next
Set picture = Nothing
v = rs.CreateOlePicture("626D")
Raised "CreateOlePicture of a string", &H80042725, "Value must be a single dimension Byte array."
v = rs.CreateOlePicture(Array(98, 109))
Raised "CreateOlePicture of Array(98, 109), an array of variants", &H80042725, "Value must be a single dimension Byte array."
v = rs.CreateOlePicture(BytesFromHex("626D 0000 0000 0002 00 02 0048 00000000"))
Raised "CreateOlePicture of the placeholder bitmap", &H80042710, "Generic error: bitmap error."
v = rs.CreateKDBitmap(scratch)
Raised "CreateKDBitmap of an object that is no picture", &H80042728, "Object type must be IDispPicture"

rs.CreateTable path, dir & "\missing.kdx", "recordset script", "DATA", "KdTs"
Raised "CreateTable with a missing description file", &H80042710, "Generic error: Cannot access file '<dir>\missing.kdx'."
rs.CreateTable path, kdx, "recordset script", "DATA", "KdTs"
Done "CreateTable recordset.pdb with sample.kdx"
count = rs.FieldCount : Same "FieldCount", count, "12 (Long)"
v = rs.FieldName(13)
Raised "FieldName(13)", &H80042727, "Invalid field number."

' First record, through the default member; variables are passed by reference.
bitmap = BytesFromHex("626D 0003 0002 0004 08 02 0048 00000000 007DE600 05126B00")
due = DateSerial(2024, 2, 29) + TimeSerial(13, 45, 30)
rs.AddNew : Done "AddNew"
rs("Title") = "First record" : Done "rs(""Title"") = ""First record"""
rs("Level") = 7 : Done "rs(""Level"") = 7"
rs("Done") = True : Done "rs(""Done"") = True"
rs("Count") = -300 : Done "rs(""Count"") = -300"
rs("Total") = 100000 : Done "rs(""Total"") = 100000"
rs("Ratio") = 0.5 : Done "rs(""Ratio"") = 0.5"
rs("Amount") = 1234.5678 : Done "rs(""Amount"") = 1234.5678"
rs("Due") = due : Done "rs(""Due"") = due"
rs("Category") = 3 : Done "rs(""Category"") = 3"
rs("Picture") = bitmap : Done "rs(""Picture"") = bitmap"
rs("Notes") = BytesFromHex("6E 6F 74 65 73") : Done "rs(""Notes"") = the bytes of ""notes"""
rs("Due") = "2024-02-29"
Raised "rs(""Due"") = a string", &H8004271E, "Invalid value for this field."
rs("Nothing") = 1
Raised "rs(""Nothing"") = 1", &H8004271D, "Field does not exist."
rs.Update : Done "Update"

' Second record, through the field numbers.
rs.AddNew : Done "AddNew"
rs.FieldByIndex(3) = "Second record" : Done "FieldByIndex(3) = ""Second record"""
rs.FieldByIndex(4) = 300 : Done "FieldByIndex(4) = 300 (taken; Level is a Byte)"
rs.Update
Raised "Update with 300 in a Byte field", &H8004271F, "Generic OLE error: (null)."
rs.FieldByIndex(4) = 30 : Done "FieldByIndex(4) = 30"
rs.FieldByIndex(5) = 0 : Done "FieldByIndex(5) = 0"
rs.FieldByIndex(11) = back : Done "FieldByIndex(11) = the 16-bit bitmap from CreateKDBitmap"
rs.Update : Done "Update"
v = rs.RecordCount : Same "RecordCount", v, "2 (Long)"

' Both records as they come back, field by field with their types.
names = Array("UniqueID", "Category", "Title", "Level", "Done", "Count", "Total", "Ratio", _
              "Amount", "Due", "Picture", "Notes")
expected = Array("1 (Long)", "3 (Byte)", """First record"" (String)", "7 (Byte)", "True (Boolean)", _
                 "-300 (Integer)", "100000 (Long)", "0.5 (Single)", "1234.5678 (Double)", _
                 "2024-02-29 13:45:30 (Date)", _
                 "626D0003000200040802004800000000007DE60005126B00 (Byte array)", _
                 "6E6F746573 (Byte array)")
rs.MoveFirst : Done "MoveFirst"
For i = 1 To 12
  v = rs.FieldName(i) : Same "FieldName(" & i & ")", v, """" & names(i - 1) & """ (String)"
  v = rs.FieldByIndex(i) : Same "FieldByIndex(" & i & ")", v, expected(i - 1)
Next
v = rs("title") : Same "rs(""title"")", v, """First record"" (String)"
v = rs.Field("TITLE") : Same "rs.Field(""TITLE"")", v, """First record"" (String)"
v = rs("Nothing")
Raised "rs(""Nothing"")", &H8004271D, "Field does not exist."

expected = Array("2 (Long)", "0 (Byte)", """Second record"" (String)", "30 (Byte)", "False (Boolean)", _
                 "0 (Integer)", "0 (Long)", "0 (Single)", "0 (Double)", "1904-01-01 00:00:00 (Date)", _
                 "626D00020001000410020048FFFFFFFFF80007E0 (Byte array)", "- (Byte array)")
rs.MoveNext : Done "MoveNext"
For i = 1 To 12
  v = rs.FieldByIndex(i) : Same names(i - 1), v, expected(i - 1)
Next
rs.MoveNext : Done "MoveNext"
v = rs.EOF : Same "EOF", v, "True (Boolean)"
v = rs("Picture") : Same "rs(""Picture"") at EOF", v, "626D0000000000000002000000000000 (Byte array)"
rs.MoveNext
Raised "MoveNext at EOF", &H80042717, "Invalid cursor operation."

' An edit of the first record.
rs.MoveFirst : Done "MoveFirst"
rs.Edit : Done "Edit"
rs("Count") = rs("Count") + 1 : Done "rs(""Count"") = rs(""Count"") + 1"
rs.Update : Done "Update"

' Blocks from byte arrays that the library gave: a variable and a field.
rs.AppInfoBlock = back : Done "AppInfoBlock = the 16-bit bitmap from CreateKDBitmap"
rs.SortInfoBlock = rs("Notes") : Done "SortInfoBlock = rs(""Notes"")"
rs.Close : Done "Close"
v = rs.AppInfoBlock
Raised "AppInfoBlock after Close", &H80042720, "Recordset not opened."

rs.OpenTable path, kdx : Done "OpenTable recordset.pdb with sample.kdx"
v = rs.RecordCount : Same "RecordCount", v, "2 (Long)"
v = rs("Count") : Same "rs(""Count"")", v, "-299 (Integer)"
v = rs.AppInfoBlock : Same "AppInfoBlock", v, "626D00020001000410020048FFFFFFFFF80007E0 (Byte array)"
v = rs.SortInfoBlock : Same "SortInfoBlock", v, "6E6F746573 (Byte array)"
rs.Close : Done "Close"

Finish
