// kdpdb: reads and writes Palm OS record databases (.pdb) from the command
// line through the library's recordset and raw database objects.
#include <CLI/CLI.hpp>

#include <iostream>

#include "foundation/messages.h"
#include "tools/kdpdb/tool.h"

namespace kdpdb {

namespace {

constexpr const char* kDescriptionHelp = "table description: a .kdx file, or a table digest";

int Usage(const CLI::App& app) {
  std::cerr << app.help();
  return 1;
}

int Run(int argc, char** argv) {
  CLI::App app{"kdpdb: reads and writes Palm OS record databases (.pdb files).", "kdpdb"};
  app.set_version_flag("--version", std::string("kdpdb ") + KDPDB_VERSION);
  app.footer("Run 'kdpdb VERB --help' for the options of a verb.");

  InfoOptions info;
  CLI::App* infoVerb = app.add_subcommand("info", "Show a database's header");
  infoVerb->add_option("FILE", info.file, "database file")->required();
  infoVerb->add_flag("--json", info.json, "JSON output");

  ListOptions list;
  CLI::App* listVerb = app.add_subcommand(
      "list", "List the records: attributes and bytes, or decoded fields with --kdx");
  listVerb->add_option("FILE", list.file, "database file")->required();
  listVerb->add_option("--kdx", list.description, kDescriptionHelp);
  listVerb->add_flag("--all", list.all, "deleted and archived records too, after the live ones");
  listVerb->add_flag("--json", list.json, "JSON output");

  SchemaOptions schema;
  CLI::App* schemaVerb =
      app.add_subcommand("schema", "Show the fields of a table description in order");
  schemaVerb->add_option("DESC", schema.description, kDescriptionHelp)->required();
  schemaVerb->add_flag("--json", schema.json, "JSON output");

  CreateOptions create;
  CLI::App* createVerb = app.add_subcommand("create", "Create an empty database");
  createVerb->add_option("FILE", create.file, "database file")->required();
  createVerb->add_option("--name", create.name, "database name, at most 31 characters")->required();
  createVerb->add_option("--type", create.type, "database type, 4 characters")->required();
  createVerb->add_option("--creator", create.creator, "creator ID, 4 characters")->required();
  createVerb->add_flag("--force", create.force, "overwrite an existing file");

  AddOptions add;
  CLI::App* addVerb = app.add_subcommand("add", "Add a record; prints its unique ID");
  addVerb->add_option("FILE", add.file, "database file")->required();
  addVerb->add_option("--kdx", add.description, kDescriptionHelp)->required();
  addVerb->add_option("FIELD=VALUE", add.assignments, "field values; fields not given stay blank");
  addVerb->footer(
      "Values by field type: numbers; true/false; dates as YYYY-MM-DD or "
      "YYYY-MM-DDTHH:MM[:SS] (local time); text; for Bitmap and StreamMemory, @FILE "
      "(the file's bytes) or hexadecimal digits.");

  UpdateOptions update;
  CLI::App* updateVerb =
      app.add_subcommand("update", "Change fields of the record with a unique ID");
  updateVerb->add_option("FILE", update.file, "database file")->required();
  updateVerb->add_option("--kdx", update.description, kDescriptionHelp)->required();
  updateVerb->add_option("--uid", update.uniqueID, "unique ID, decimal or 0x hexadecimal")
      ->required();
  updateVerb->add_option("FIELD=VALUE", update.assignments, "new field values")->required();
  updateVerb->footer(addVerb->get_footer());

  DeleteOptions remove;
  CLI::App* deleteVerb = app.add_subcommand("delete", "Delete the record with a unique ID");
  deleteVerb->add_option("FILE", remove.file, "database file")->required();
  deleteVerb->add_option("--uid", remove.uniqueID, "unique ID, decimal or 0x hexadecimal")
      ->required();
  deleteVerb
      ->add_option("--mode", remove.mode,
                   "delete: keep its entry; archive: keep its data; remove: drop it")
      ->check(CLI::IsMember({"delete", "archive", "remove"}))
      ->capture_default_str();

  BlockOptions block;
  CLI::App* blockVerb =
      app.add_subcommand("block", "Print, save, replace or clear the AppInfo or SortInfo block");
  blockVerb->add_option("FILE", block.file, "database file")->required();
  blockVerb->add_option("BLOCK", block.block, "appinfo or sortinfo")
      ->required()
      ->check(CLI::IsMember({"appinfo", "sortinfo"}));
  CLI::Option* blockOut = blockVerb->add_option("--out", block.out, "save the block to a file");
  CLI::Option* blockSet =
      blockVerb->add_option("--set", block.set, "replace the block by a file's bytes");
  CLI::Option* blockClear = blockVerb->add_flag("--clear", block.clear, "empty the block");
  blockOut->excludes(blockSet)->excludes(blockClear);
  blockSet->excludes(blockClear);
  blockVerb->footer("Without an option, prints the block as hexadecimal digits.");

  GetOptions get;
  CLI::App* getVerb = app.add_subcommand("get", "Print one field of a record, or save its bytes");
  getVerb->add_option("FILE", get.file, "database file")->required();
  getVerb->add_option("--kdx", get.description, kDescriptionHelp)->required();
  getVerb->add_option("--uid", get.uniqueID, "unique ID, decimal or 0x hexadecimal")->required();
  getVerb->add_option("--field", get.field, "field name")->required();
  getVerb->add_option("--out", get.out, "save a Bitmap or StreamMemory value's bytes to a file");

  BitmapOptions bitmap;
  CLI::App* bitmapVerb =
      app.add_subcommand("bitmap", "Save a record's Bitmap field as a .png or .bmp picture");
  bitmapVerb->add_option("FILE", bitmap.file, "database file")->required();
  bitmapVerb->add_option("--kdx", bitmap.description, kDescriptionHelp)->required();
  bitmapVerb->add_option("--uid", bitmap.uniqueID, "unique ID, decimal or 0x hexadecimal")
      ->required();
  bitmapVerb->add_option("--field", bitmap.field, "name of a Bitmap field")->required();
  bitmapVerb->add_option("--out", bitmap.out, "picture file, .png or .bmp")->required();

  ImportBitmapOptions import;
  CLI::App* importVerb = app.add_subcommand(
      "import-bitmap", "Turn a .png or .bmp picture into a device bitmap for add FIELD=@FILE");
  importVerb->add_option("IMAGE", import.image, "picture file, .png or .bmp")->required();
  importVerb->add_option("--out", import.out, "device bitmap file to write")->required();
  importVerb
      ->add_option("--depth", import.depth,
                   "bits per pixel: 1, 2, 4, 8 (the device's colours) or 16; by default 16 for "
                   "PNG, and for BMP what its pixels give")
      ->check(CLI::IsMember({1, 2, 4, 8, 16}));
  importVerb
      ->add_option("--density", import.density,
                   "pixels a standard unit x 72: 72, 108, 144, 216 or 288; auto: from a BMP "
                   "picture's resolution (dots per inch), as bitmap --out writes it")
      ->check(CLI::IsMember({"72", "108", "144", "216", "288", "auto"}))
      ->capture_default_str();

  ExportOptions exportTable;
  CLI::App* exportVerb = app.add_subcommand(
      "export", "Write every live record as a CSV row or a JSON line, fields by name");
  exportVerb->add_option("FILE", exportTable.file, "database file")->required();
  exportVerb->add_option("--kdx", exportTable.description, kDescriptionHelp)->required();
  CLI::Option* exportCsv =
      exportVerb->add_option("--csv", exportTable.csv, "CSV file to write; - for standard output");
  exportVerb
      ->add_option("--jsonl", exportTable.jsonl,
                   "JSON Lines file to write (one object a record); - for standard output")
      ->excludes(exportCsv);
  exportVerb->add_option("--pictures", exportTable.pictures,
                         "folder for Bitmap fields as PNG files named by unique ID; their cells "
                         "hold the file names");
  exportVerb->footer(
      "Values as list shows them (text whole): dates as local ISO-8601 text, Bitmap and "
      "StreamMemory as hexadecimal digits, a blank Bitmap as an empty cell (null in JSON).");

  ImportOptions importTable;
  CLI::App* importTableVerb = app.add_subcommand(
      "import", "Add a record for each CSV row or JSON line; the file is saved once, at the end");
  importTableVerb->add_option("FILE", importTable.file, "database file")->required();
  importTableVerb->add_option("--kdx", importTable.description, kDescriptionHelp)->required();
  CLI::Option* importCsv = importTableVerb->add_option(
      "--csv", importTable.csv, "CSV file with a header row of field names; - for standard input");
  importTableVerb
      ->add_option("--jsonl", importTable.jsonl,
                   "JSON Lines file, one object of field names a record; - for standard input")
      ->excludes(importCsv);
  importTableVerb->footer(
      "Values as add reads them; an empty cell (or null, or \"\") leaves its field blank. A row "
      "that does not fit is reported with its line number and nothing is written.");

  app.require_subcommand(0, 1);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    return app.exit(error) == 0 ? 0 : 1;
  }

  if (*infoVerb) return Info(info);
  if (*listVerb) return List(list);
  if (*schemaVerb) return Schema(schema);
  if (*createVerb) return Create(create);
  if (*addVerb) return Add(add);
  if (*updateVerb) return Update(update);
  if (*deleteVerb) return Delete(remove);
  if (*blockVerb) return Block(block);
  if (*getVerb) return Get(get);
  if (*bitmapVerb) return Bitmap(bitmap);
  if (*importVerb) return ImportBitmap(import);
  if (*exportVerb) return Export(exportTable);
  if (*importTableVerb) return Import(importTable);
  return Usage(app);
}

}  // namespace

}  // namespace kdpdb

int main(int argc, char** argv) {
  if (!kd::FoundationStart(nullptr, kd::kDefaultSlotSize)) {
    std::cerr << "kdpdb: cannot start: out of memory\n";
    return 1;
  }
  int status;
  try {
    status = kdpdb::Run(argc, argv);
  } catch (const kdpdb::ToolError& error) {
    kdpdb::Complain(error.what());
    status = 1;
  } catch (const std::exception& error) {
    kdpdb::Complain(std::string("unexpected failure: ") + error.what());
    status = 1;
  }
  kd::FoundationStop();
  return status;
}
