' KD_RawDB from VBScript, late bound: a new database, records written with the
' typed accessors along the running offset, read back, edited, deleted in the
' three modes, an AppInfo block from a byte array, and the errors a script sees.
'
' Argument: the directory to work in. Prints one line per check ("ok" or
' "FAIL"); exits with 1 when a check failed.
'
' Runs after checks.vbs, which run_script.sh puts in front of it.

' --- The script ---------------------------------------------------------------

Dim raw, other, path, due, v, bytes, firstId, secondId, thirdId, fourthId, fifthId

Set scratch = CreateObject("KdDao.KD_RawDB")
scratch.CreateTable dir & "\bytes.scratch", "scratch", "DATA", "KdTs"
Done "scratch table for byte arrays"

Set raw = CreateObject("KdDao.KD_RawDB")
Done "CreateObject(""KdDao.KD_RawDB"")"
path = dir & "\raw.pdb"

' A new object has no table.
raw.MoveFirst
Raised "MoveFirst before a table is open", &H80042720, "Recordset not opened."
v = raw.RecordCount
Raised "RecordCount before a table is open", &H80042720, "Recordset not opened."
raw.OpenTable dir & "\missing.pdb"
Raised "OpenTable of a missing file", &H80042710, "Generic error: Cannot access file '<dir>\missing.pdb'."
raw.CreateTable path, "a database name of 32 characters", "DATA", "KdTs"
Raised "CreateTable with a 32-character name", &H8004271A, "Database name exceeds 31 characters."
raw.CreateTable path, "raw script", "DATA", "Kd"
Raised "CreateTable with a 2-character creator", &H8004271B, "Creator string must contain 4 characters."

raw.CreateTable path, "raw script", "DATA", "KdTs"
Done "CreateTable raw.pdb"
v = raw.RecordCount : Same "RecordCount", v, "0 (Long)"
v = raw.EOF : Same "EOF", v, "True (Boolean)"
v = raw.BOF : Same "BOF", v, "False (Boolean)"

' First record: one value of every accessor, each at the running offset.
due = DateSerial(2024, 2, 29) + TimeSerial(13, 45, 30)
raw.AddNew : Done "AddNew"
raw.Int8At(-1) = -5 : Done "Int8At(-1) = -5"
raw.UInt8At(-1) = 200 : Done "UInt8At(-1) = 200"
raw.Int16At(-1) = -1234 : Done "Int16At(-1) = -1234"
raw.UInt16At(-1) = 65535 : Done "UInt16At(-1) = 65535"
raw.Int32At(-1) = 123456789 : Done "Int32At(-1) = 123456789"
raw.UInt32At(-1) = &HDEADBEEF : Done "UInt32At(-1) = &HDEADBEEF"
raw.SingleAt(-1) = 1.5 : Done "SingleAt(-1) = 1.5"
raw.DoubleAt(-1) = -2.25 : Done "DoubleAt(-1) = -2.25"
raw.DateAt(-1) = due : Done "DateAt(-1) = due (a variable: passed by reference)"
raw.DateAt(-1) = "2024-02-29"
Raised "DateAt(-1) = a string", &H8004272C, "Variant must be of 'Date' type."
raw.BooleanAt(-1) = True : Done "BooleanAt(-1) = True"
raw.StringAt(-1) = "Palm" : Done "StringAt(-1) = ""Palm"""
raw.FixedLengthStringAt(-1, 6) = "abc" : Done "FixedLengthStringAt(-1, 6) = ""abc"""
raw.FixedLengthStringAt(-1, 2) = "abc"
Raised "FixedLengthStringAt(-1, 2) = ""abc""", &H80042710, "Generic error: String doesn't fit in fixed length string field."
raw.Category = 5 : Done "Category = 5"
raw.Secret = True : Done "Secret = True"
v = raw.RecordData : Same "RecordData before Update", v, _
  "FBC8FB2EFFFF075BCD15DEADBEEF3FC00000C002000000000000E2063AFAFF50616C6D00616263000000 (Byte array)"
raw.Update : Done "Update"
v = raw.RecordCount : Same "RecordCount", v, "1 (Long)"
firstId = raw.UniqueID : Same "UniqueID of the first record", firstId, "1 (Long)"

' Second record: the first one's bytes as a byte array, one number changed.
bytes = raw.RecordData : Done "bytes = RecordData"
raw.AddNew : Done "AddNew"
raw.RecordData = bytes : Done "RecordData = bytes (a variable: passed by reference)"
raw.Int16At(2) = 7 : Done "Int16At(2) = 7"
raw.Update : Done "Update"
secondId = raw.UniqueID : Same "UniqueID of the second record", secondId, "2 (Long)"
v = raw.AbsolutePosition : Same "AbsolutePosition after adding", v, "1 (Long)"

' The first record read back along the running offset.
raw.MoveFirst : Done "MoveFirst"
v = raw.Int8At(-1) : Same "Int8At(-1)", v, "-5 (Long)"
v = raw.UInt8At(-1) : Same "UInt8At(-1)", v, "200 (Long)"
v = raw.Int16At(-1) : Same "Int16At(-1)", v, "-1234 (Long)"
v = raw.UInt16At(-1) : Same "UInt16At(-1)", v, "65535 (Long)"
v = raw.Int32At(-1) : Same "Int32At(-1)", v, "123456789 (Long)"
v = raw.UInt32At(-1) : Same "UInt32At(-1)", v, "-559038737 (Long)"
v = raw.SingleAt(-1) : Same "SingleAt(-1)", v, "1.5 (Single)"
v = raw.DoubleAt(-1) : Same "DoubleAt(-1)", v, "-2.25 (Double)"
v = raw.DateAt(-1) : Same "DateAt(-1)", v, "2024-02-29 13:45:30 (Date)"
v = raw.BooleanAt(-1) : Same "BooleanAt(-1)", v, "True (Boolean)"
v = raw.StringAt(-1) : Same "StringAt(-1)", v, """Palm"" (String)"
v = raw.FixedLengthStringAt(-1, 6) : Same "FixedLengthStringAt(-1, 6)", v, """abc"" (String)"
v = raw.UInt8At(-1)
Raised "UInt8At(-1) past the end", &H8004272E, "Attempt to read outside record buffer."
v = raw.StringAt(42)
Raised "StringAt(42) at the end of the record", &H8004272F, "No string termination character found in record."
v = raw.Category : Same "Category", v, "5 (Long)"
v = raw.Secret : Same "Secret", v, "True (Boolean)"
v = raw.Dirty : Same "Dirty", v, "True (Boolean)"
v = raw.UniqueID : Same "UniqueID", v, "1 (Long)"

raw.MoveNext : Done "MoveNext"
v = raw.Int16At(2) : Same "Int16At(2) of the second record", v, "7 (Long)"
v = raw.Int8At(0) : Same "Int8At(0) of the second record", v, "-5 (Long)"
v = raw.Category : Same "Category of the second record", v, "0 (Long)"

' Edit: a shorter string over the old one, and the tail behind it cut off.
raw.Edit : Done "Edit"
raw.StringAt(31) = "Pi" : Done "StringAt(31) = ""Pi"""
raw.Truncate 34 : Done "Truncate 34"
raw.Update : Done "Update"
raw.MoveLast : Done "MoveLast"
v = raw.RecordData : Same "RecordData of the edited record", v, _
  "FBC80007FFFF075BCD15DEADBEEF3FC00000C002000000000000E2063AFAFF506900 (Byte array)"

' AppInfo block from a byte array that the library gave.
raw.AppInfoBlock = bytes : Done "AppInfoBlock = bytes"
v = raw.AppInfoBlock : Same "AppInfoBlock", v, _
  "FBC8FB2EFFFF075BCD15DEADBEEF3FC00000C002000000000000E2063AFAFF50616C6D00616263000000 (Byte array)"
raw.AppInfoBlock = "not bytes"
Raised "AppInfoBlock = a string", &H8004271E, "Invalid value for this field."
raw.AppInfoBlock = Array(1, 2)
Raised "AppInfoBlock = Array(1, 2), an array of variants", &H8004271E, "Invalid value for this field."

' Three more records, then one deletion in each mode.
raw.AddNew : raw.StringAt(0) = "third" : raw.Update : thirdId = raw.UniqueID
Done "third record"
' The fourth one's text has a character beyond ASCII: Chr(232) is the one of
' code 232 in the ANSI code page (Wine's VBScript has no ChrW).
raw.AddNew : raw.StringAt(0) = "quatri" & Chr(232) & "me" : raw.Update : fourthId = raw.UniqueID
Done "fourth record"
v = raw.RecordData : Same "its bytes: the text in the ANSI code page (1252)", v, "717561747269E86D6500 (Byte array)"
v = (raw.StringAt(0) = "quatri" & Chr(232) & "me") : Same "StringAt(0) is the text written", v, "True (Boolean)"
raw.AddNew : raw.StringAt(0) = "fifth" : raw.Update : fifthId = raw.UniqueID
Done "fifth record"
v = raw.RecordCount : Same "RecordCount", v, "5 (Long)"

raw.LookupUniqueID thirdId : Done "LookupUniqueID thirdId"
raw.Delete 0 : Done "Delete 0 (kdRecordDelete) of the third record"
v = raw.RecordCount : Same "RecordCount", v, "4 (Long)"
v = raw.StringAt(0) : Same "StringAt(0) still shows the deleted record", v, """third"" (String)"
raw.LookupUniqueID fourthId : Done "LookupUniqueID fourthId"
raw.Delete 1 : Done "Delete 1 (kdRecordArchive) of the fourth record"
v = raw.RecordCount : Same "RecordCount", v, "3 (Long)"
raw.LookupUniqueID fifthId : Done "LookupUniqueID fifthId"
raw.Delete 2 : Done "Delete 2 (kdRecordRemove) of the fifth record"
v = raw.RecordCount : Same "RecordCount", v, "2 (Long)"
v = raw.EOF : Same "EOF after deleting the last record", v, "True (Boolean)"

' The file as another object opens it.
raw.Close : Done "Close"
raw.MoveNext
Raised "MoveNext after Close", &H80042720, "Recordset not opened."
raw.OpenTable path : Done "OpenTable raw.pdb"
v = raw.RecordCount : Same "RecordCount", v, "2 (Long)"
raw.LookupUniqueID thirdId
Raised "LookupUniqueID of the deleted record", &H80042719, "Record exists in database, but with a deleted or archived status."
raw.LookupUniqueID fourthId
Raised "LookupUniqueID of the archived record", &H80042719, "Record exists in database, but with a deleted or archived status."
raw.LookupUniqueID fifthId
Raised "LookupUniqueID of the removed record", &H80042718, "No record found for this UniqueId."
raw.LookupUniqueID secondId : Done "LookupUniqueID secondId"
v = raw.StringAt(31) : Same "StringAt(31) of the edited record", v, """Pi"" (String)"
raw.AbsolutePosition = 2
Raised "AbsolutePosition = 2", &H80042717, "Invalid cursor operation."
v = raw.AppInfoBlock : Same "AppInfoBlock after reopening", v, _
  "FBC8FB2EFFFF075BCD15DEADBEEF3FC00000C002000000000000E2063AFAFF50616C6D00616263000000 (Byte array)"
raw.Close : Done "Close"

' Releasing the last reference to an object in the middle of an addition
' closes it and writes nothing.
Set other = CreateObject("KdDao.KD_RawDB")
other.OpenTable path : other.AddNew : other.StringAt(0) = "never stored"
Done "another object: OpenTable raw.pdb, AddNew, StringAt(0) = ""never stored"""
Set other = Nothing : Done "Set it = Nothing"
raw.OpenTable path : Done "OpenTable raw.pdb"
v = raw.RecordCount : Same "RecordCount", v, "2 (Long)"
raw.Close : Done "Close"

Finish
