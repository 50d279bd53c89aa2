// KD_Recordset and KD_RawDB from JScript, late bound: a table from a table
// digest, records added through Field and FieldByIndex and read back through
// the default member, a record changed through the raw object at the offsets
// of the record layout, a date handed from one record to another, one deletion
// in each mode, an AppInfo block from a byte array, and the errors as
// e.number and e.description.
//
// Arguments: the directory to work in, the table digest (the sample table:
// uniqueid category Title Level Done Count Total Ratio Amount Due Picture
// Notes). Prints one line per check ("ok" or "FAIL"); exits with 1 when a
// check failed.
//
// What Wine's JScript cannot do, and how this script goes around it:
// - rs("Title") = value never reaches the object; puts name the default
//   member instead: rs.Field("Title") = value.
// - A call whose value is not used is made as a method call only, which a
//   property get with arguments does not answer; such gets are always used.
// - Byte arrays can be handed from one call straight to another but cannot be
//   held in a variable; their bytes are read through the raw object.
// - It cannot make dates; dates come from the library.

var dir = WScript.Arguments(0);
var digest = WScript.Arguments(1);
var failures = 0;

// --- Checks -------------------------------------------------------------------

// e.number is the HRESULT as a signed number.
function hex(number) {
  return (number >>> 0).toString(16).toUpperCase();
}

// An error as the script sees it, with the work directory shortened.
function errText(e) {
  return hex(e.number) + " " + e.description.split(dir).join("<dir>");
}

function pass(text) {
  WScript.Echo("ok   " + text);
}

function fail(text) {
  WScript.Echo("FAIL " + text);
  failures++;
}

// A step that must succeed.
function done(what, step) {
  try {
    step();
  } catch (e) {
    fail(what + ": " + errText(e));
    return;
  }
  pass(what);
}

// The value of a step, shown with its type and compared with the text
// expected.
function same(what, step, expected) {
  var shown;
  try {
    shown = show(step());
  } catch (e) {
    fail(what + ": " + errText(e));
    return;
  }
  if (shown === expected) pass(what + " = " + shown);
  else fail(what + " = " + shown + ", want " + expected);
}

// A step that must fail with this error.
function raised(what, step, number, description) {
  try {
    step();
  } catch (e) {
    if ((e.number >>> 0) === number && e.description.split(dir).join("<dir>") === description)
      pass(what + ": " + errText(e));
    else
      fail(what + ": " + errText(e) + ", want " + hex(number) + " " + description);
    return;
  }
  fail(what + ": no error, want " + hex(number) + " " + description);
}

function two(number) {
  return (number < 10 ? "0" : "") + number;
}

function show(value) {
  if (value instanceof Date) {
    return value.getFullYear() + "-" + two(value.getMonth() + 1) + "-" + two(value.getDate()) +
        " " + two(value.getHours()) + ":" + two(value.getMinutes()) + ":" +
        two(value.getSeconds()) + " (date)";
  }
  if (typeof value === "string") return "\"" + value + "\" (string)";
  return String(value) + " (" + typeof value + ")";
}

// --- The script -----------------------------------------------------------------

var path = dir + "\\recordset.pdb";
var rs, raw, due;

done("new ActiveXObject(\"KdDao.KD_Recordset\")", function () {
  rs = new ActiveXObject("KdDao.KD_Recordset");
});
done("new ActiveXObject(\"KdDao.KD_RawDB\")", function () {
  raw = new ActiveXObject("KdDao.KD_RawDB");
});

raised("MoveFirst before a table is open", function () {
  rs.MoveFirst();
}, 0x80042720, "Recordset not opened.");
raised("OpenTable of a missing database", function () {
  rs.OpenTable(dir + "\\missing.pdb", digest);
}, 0x80042710, "Generic error: Cannot access file '<dir>\\missing.pdb'.");
raised("CreateTable with a digest of characters outside its alphabet", function () {
  rs.CreateTable(path, "no digest!", "jscript", "DATA", "KdTs");
}, 0x80042710, "Generic error: Invalid table digest.");
raised("CreateTable with a 2-character creator (leaves no file)", function () {
  rs.CreateTable(dir + "\\refused.pdb", digest, "jscript", "DATA", "Kd");
}, 0x8004271B, "Creator string must contain 4 characters.");

done("CreateTable recordset.pdb with the digest", function () {
  rs.CreateTable(path, digest, "jscript", "DATA", "KdTs");
});
same("field names", function () {
  var names = [];
  for (var i = 1; i <= rs.FieldCount; i++) names.push(rs.FieldName(i));
  return names.join(" ");
}, "\"uniqueid category Title Level Done Count Total Ratio Amount Due Picture Notes\" (string)");

// Four records: Title by name, Count (field 6) by number, Done from a number.
var titles = ["one", "two", "three", "four"];
for (var i = 0; i < titles.length; i++) {
  done("record \"" + titles[i] + "\"", function () {
    rs.AddNew();
    rs.Field("Title") = titles[i];
    rs.FieldByIndex(6) = (i + 1) * 10;
    rs.Field("Done") = i % 2;
    rs.Update();
  });
}
same("RecordCount", function () { return rs.RecordCount; }, "4 (number)");
done("Close", function () { rs.Close(); });

// The raw object changes record 2 at the offsets of the record layout: Level
// and Done come first (1 byte each), then Count at 2, Total at 4, Ratio at 8,
// Amount at 12, Due at 20 and Title from 24.
done("raw: OpenTable recordset.pdb", function () { raw.OpenTable(path); });
done("raw: LookupUniqueID(2)", function () { raw.LookupUniqueID(2); });
same("raw: StringAt(24)", function () { return raw.StringAt(24); }, "\"two\" (string)");
same("raw: Int16At(2)", function () { return raw.Int16At(2); }, "20 (number)");
same("raw: BooleanAt(1)", function () { return raw.BooleanAt(1); }, "true (boolean)");
done("raw: Edit, Int16At(2) = 222, UInt32At(20) = 0xE2063AFA, Update", function () {
  raw.Edit();
  raw.Int16At(2) = 222;
  raw.UInt32At(20) = 0xE2063AFA | 0;  // a 32-bit argument: the same bits, signed
  raw.Update();
});
same("raw: DateAt(20)", function () { return new Date(raw.DateAt(20)); },
    "2024-02-29 13:45:30 (date)");
raised("raw: DateAt(20) = a string", function () {
  raw.DateAt(20) = "2024-02-29";
}, 0x8004272C, "Variant must be of 'Date' type.");
raised("raw: Int16At(1000)", function () {
  return raw.Int16At(1000);
}, 0x8004272E, "Attempt to read outside record buffer.");

// The records as the recordset reads them now, through the default member.
done("OpenTable recordset.pdb with the digest", function () { rs.OpenTable(path, digest); });
var expected = [
  "\"1 one 10 false 1904-01-01 00:00:00\" (string)",
  "\"2 two 222 true 2024-02-29 13:45:30\" (string)",
  "\"3 three 30 false 1904-01-01 00:00:00\" (string)",
  "\"4 four 40 true 1904-01-01 00:00:00\" (string)"
];
for (var i = 0; i < expected.length; i++) {
  same("record at position " + i, function () {
    var text = [rs("uniqueid"), rs("Title"), rs("Count"), rs("Done")].join(" ") + " " +
        show(new Date(rs("Due"))).replace(" (date)", "");
    rs.MoveNext();
    return text;
  }, expected[i]);
}
same("EOF", function () { return rs.EOF; }, "true (boolean)");
raised("MoveNext at EOF", function () {
  rs.MoveNext();
}, 0x80042717, "Invalid cursor operation.");

// A date held in a variable and put into another record.
done("due = rs(\"Due\") of record 2", function () {
  rs.LookupUniqueID(2);
  due = rs("Due");
});
done("record 1: Edit, rs.Field(\"Due\") = due, Update", function () {
  rs.LookupUniqueID(1);
  rs.Edit();
  rs.Field("Due") = due;
  rs.Update();
});
same("rs(\"Due\") of record 1", function () { return new Date(rs("Due")); },
    "2024-02-29 13:45:30 (date)");

// Errors of the recordset.
raised("rs.Field(\"Due\") = a string", function () {
  rs.Field("Due") = "2024-02-29";
}, 0x8004271E, "Invalid value for this field.");
raised("rs(\"Nothing\")", function () {
  return rs("Nothing");
}, 0x8004271D, "Field does not exist.");
raised("FieldName(0)", function () {
  return rs.FieldName(0);
}, 0x80042727, "Invalid field number.");
raised("AbsolutePosition = 4", function () {
  rs.AbsolutePosition = 4;
}, 0x80042717, "Invalid cursor operation.");

// One deletion in each mode.
var deletions = [[1, 0, "kdRecordDelete"], [3, 1, "kdRecordArchive"], [4, 2, "kdRecordRemove"]];
for (var i = 0; i < deletions.length; i++) {
  done("LookupUniqueID(" + deletions[i][0] + "), Delete(" + deletions[i][1] + ") (" +
      deletions[i][2] + ")", function () {
    rs.LookupUniqueID(deletions[i][0]);
    rs.Delete(deletions[i][1]);
  });
  same("RecordCount", function () { return rs.RecordCount; }, (3 - i) + " (number)");
}
same("rs(\"Title\") still shows the deleted record", function () { return rs("Title"); },
    "\"four\" (string)");

// AppInfo block: the raw object's record buffer (record 2 as it edited it),
// handed straight from one object to the other.
done("rs.AppInfoBlock = raw.RecordData", function () { rs.AppInfoBlock = raw.RecordData; });
done("raw: Close", function () { raw.Close(); });
done("Close", function () { rs.Close(); });

// The file once more: deleted records cannot be looked up, and the AppInfo
// block holds record 2's bytes.
done("OpenTable recordset.pdb with the digest", function () { rs.OpenTable(path, digest); });
same("RecordCount", function () { return rs.RecordCount; }, "1 (number)");
raised("LookupUniqueID(1) of the deleted record", function () {
  rs.LookupUniqueID(1);
}, 0x80042719, "Record exists in database, but with a deleted or archived status.");
raised("LookupUniqueID(3) of the archived record", function () {
  rs.LookupUniqueID(3);
}, 0x80042719, "Record exists in database, but with a deleted or archived status.");
raised("LookupUniqueID(4) of the removed record", function () {
  rs.LookupUniqueID(4);
}, 0x80042718, "No record found for this UniqueId.");
done("raw: OpenTable recordset.pdb, RecordData = AppInfoBlock", function () {
  raw.OpenTable(path);
  raw.RecordData = raw.AppInfoBlock;
});
same("raw: Int16At(2) and StringAt(24) of the AppInfo block", function () {
  return raw.Int16At(2) + " " + raw.StringAt(24);
}, "\"222 two\" (string)");
done("Close both", function () {
  raw.Close();
  rs.Close();
});
raised("RecordCount after Close", function () {
  return rs.RecordCount;
}, 0x80042720, "Recordset not opened.");

if (failures === 0) {
  WScript.Echo("all checks passed");
  WScript.Quit(0);
}
WScript.Echo(failures + " checks failed");
WScript.Quit(1);
