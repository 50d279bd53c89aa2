// Several threads at once, each with its own raw object and recordset on its
// own database files: opening, editing, saving and failing, 10,000 operations
// a thread. Every error a thread reads must be its own, text intact (the
// error texts are formatted in each error's storage and reported in the
// thread's own description). The thread-sanitizer build (build-tsan/, see
// scripts/test.sh) runs this program to prove that no data race hides here.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "rawdb/raw_db.h"
#include "recordset/recordset.h"
#include "testing/outcomes.h"
#include "testing/temp_dir.h"

namespace kd {
namespace {

using testing::Result;
using testing::Wide;

constexpr int kThreads = 4;
constexpr int kOperations = 10000;
constexpr std::int32_t kMostRecords = 40;  // records beyond are removed again

const char kDescription[] =
    "<table><field><name>UniqueID</name><type>Long</type><synchro/></field>\n"
    "<field><name>Count</name><type>Long</type><synchro/></field>\n"
    "<field><name>Name</name><type>String</type><synchro/></field></table>\n";

// What one thread saw go wrong: the operation, what it read, what it expected.
struct Mismatch {
  int operation;
  std::string seen;
  std::string expected;
};

class Worker {
 public:
  Worker(const testing::TempDir& dir, const std::string& kdx, int id)
      : id_(id),
        rawPath_(dir.File("raw" + std::to_string(id) + ".pdb")),
        setPath_(dir.File("set" + std::to_string(id) + ".pdb")),
        missing_(dir.File("missing" + std::to_string(id))),
        kdx_(Wide(kdx)) {}

  // Runs the operations; what went wrong is in mismatches().
  void Run() {
    const std::u16string name = Wide("Thread" + std::to_string(id_));
    Expect(-1, raw_.CreateTable(Wide(rawPath_), name, u"DATA", u"KdTh"), "ok");
    Expect(-1, set_.CreateTable(Wide(setPath_), kdx_, name, u"DATA", u"KdTh"), "ok");
    for (int i = 0; i < kOperations; ++i)
      Step(i);
  }

  const std::vector<Mismatch>& mismatches() const { return mismatches_; }

 private:
  void Expect(int operation, HRESULT result, const std::string& expected) {
    const std::string seen = Result(result);
    if (seen != expected) mismatches_.push_back({operation, seen, expected});
  }

  // A text unique to this thread and operation.
  std::string Tag(int i) const { return "t" + std::to_string(id_) + "-" + std::to_string(i); }

  void Step(int i) {
    std::int32_t count = 0;
    switch (i % 10) {
      case 0:  // a raw record added and saved
        Expect(i, raw_.AddNew(), "ok");
        Expect(i, raw_.put_Int32At(0, i), "ok");
        Expect(i, raw_.put_StringAt(-1, Wide(Tag(i))), "ok");
        Expect(i, raw_.Update(), "ok");
        return;
      case 1: {  // a file that is not there: the raw object closes
        const std::string path = missing_ + "-" + std::to_string(i) + ".pdb";
        Expect(i, raw_.OpenTable(Wide(path)),
               "80042710 Generic error: Cannot access file '" + path + "'.");
        Expect(i, raw_.MoveFirst(), testing::kNotOpened);
        Expect(i, raw_.OpenTable(Wide(rawPath_)), "ok");
        return;
      }
      case 2: {  // the last raw record reads back
        Expect(i, raw_.MoveLast(), "ok");
        std::int32_t value = -1;
        Expect(i, raw_.get_Int32At(0, &value), "ok");
        if (value != i - 2)
          mismatches_.push_back({i, std::to_string(value), std::to_string(i - 2)});
        return;
      }
      case 3:
        Expect(i, raw_.put_AbsolutePosition(-5 - i), testing::kInvalidCursor);
        return;
      case 4:  // a recordset record added and saved
        Expect(i, set_.AddNew(), "ok");
        Expect(i, set_.put_Field(u"Count", CVariant::I4(i)), "ok");
        Expect(i, set_.put_Field(u"Name", CVariant::String(Wide(Tag(i)))), "ok");
        Expect(i, set_.Update(), "ok");
        return;
      case 5:
        Expect(i, set_.put_Field(Wide(Tag(i)), CVariant::I4(i)), "8004271D Field does not exist.");
        return;
      case 6:
        Expect(i, set_.LookupUniqueID(0xFFFFFF - i), testing::kNoRecordForID);
        return;
      case 7:  // a value of the wrong type, then the edit dropped
        Expect(i, set_.MoveLast(), "ok");
        Expect(i, set_.Edit(), "ok");
        Expect(i, set_.put_Field(u"Count", CVariant::String(Wide(Tag(i)))), testing::kInvalidValue);
        Expect(i, set_.CancelUpdate(), "ok");
        return;
      case 8:  // the first records removed again, both files saved
        Expect(i, raw_.get_RecordCount(&count), "ok");
        if (count > kMostRecords) {
          Expect(i, raw_.MoveFirst(), "ok");
          Expect(i, raw_.Delete(kdRecordRemove), "ok");
        }
        Expect(i, set_.get_RecordCount(&count), "ok");
        if (count > kMostRecords) {
          Expect(i, set_.MoveFirst(), "ok");
          Expect(i, set_.Delete(kdRecordRemove), "ok");
        }
        return;
      case 9:  // a digest that is none: the recordset closes, and opens again
        Expect(i, set_.OpenTable(Wide(setPath_), u"x"),
               "80042710 Generic error: Invalid table digest.");
        Expect(i, set_.OpenTable(Wide(setPath_), kdx_), "ok");
        Expect(i, set_.MoveLast(), "ok");
        CVariant name;
        Expect(i, set_.get_Field(u"Name", &name), "ok");
        if (!(name == CVariant::String(Wide(Tag(i - 5))))) {
          mismatches_.push_back({i, "another last record", Tag(i - 5)});
        }
        return;
    }
  }

  int id_;
  std::string rawPath_;
  std::string setPath_;
  std::string missing_;
  std::u16string kdx_;
  CRawDB raw_;
  CRecordset set_;
  std::vector<Mismatch> mismatches_;
};

TEST(ThreadsTest, ObjectsOfTheirOwnOnEveryThreadWorkAndFailAtOnce) {
  testing::TempDir dir;
  const std::string kdx = dir.File("table.kdx");
  testing::WriteFileBytes(
      kdx, std::vector<std::uint8_t>(kDescription, kDescription + sizeof kDescription - 1));
  std::vector<std::unique_ptr<Worker>> workers;
  for (int t = 0; t < kThreads; ++t)
    workers.push_back(std::make_unique<Worker>(dir, kdx, t));
  std::vector<std::thread> threads;
  for (auto& worker : workers)
    threads.emplace_back([&worker] { worker->Run(); });
  for (auto& thread : threads)
    thread.join();
  for (int t = 0; t < kThreads; ++t) {
    const std::vector<Mismatch>& seen = workers[t]->mismatches();
    EXPECT_TRUE(seen.empty()) << "thread " << t << ": " << seen.size()
                              << " mismatches, the first at " << seen[0].operation << ": "
                              << seen[0].seen << " instead of " << seen[0].expected;
  }
}

}  // namespace
}  // namespace kd
