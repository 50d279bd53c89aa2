' Late-bound calls from a script: walks every record of a database with the
' recordset, reading three fields by name, then makes the same number of
' property reads on the platform's Scripting.Dictionary, and prints both times.
'   cscript //nologo late_bound_walk.vbs DATABASE DESCRIPTION
Option Explicit
Dim records, dictionary, started, walked, read, count, total, i
Set records = CreateObject("KdDao.KD_Recordset")
records.OpenTable WScript.Arguments(0), WScript.Arguments(1)
started = Timer
count = 0
total = 0
Do While Not records.EOF
  total = total + records("Count") + records("Total") + Len(records("Title"))
  count = count + 1
  records.MoveNext
Loop
walked = Timer - started

Set dictionary = CreateObject("Scripting.Dictionary")
dictionary.Add "Count", 1
dictionary.Add "Total", 2
dictionary.Add "Title", "Record"
started = Timer
total = 0
For i = 1 To count
  total = total + dictionary("Count") + dictionary("Total") + Len(dictionary("Title"))
Next
read = Timer - started
WScript.Echo "records " & count & " walk " & walked & " dictionary " & read
