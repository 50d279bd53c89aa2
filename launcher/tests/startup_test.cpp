// The launcher's run over a fake platform that logs every operation: the
// order of the calls, the directories changed and restored, the wait, and the
// error path for a failure at every step.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "launcher/startup.h"

namespace launcher {
namespace {

using Log = std::vector<std::string>;

std::string Narrow(const std::u16string& text) {
  std::string narrow;
  for (char16_t c : text)
    narrow += c < 0x80 ? static_cast<char>(c) : '?';
  return narrow;
}

std::u16string Widen(const std::string& text) {
  return std::u16string(text.begin(), text.end());
}

class FakeObject final : public OutsideObject {
 public:
  FakeObject(std::string name, Log& log) : name(std::move(name)), log_(log) {}
  ~FakeObject() override { log_.push_back("release " + name); }
  const std::string name;

 private:
  Log& log_;
};

class FakeProgram final : public StartedProgram {
 public:
  explicit FakeProgram(Log& log) : log_(log) {}
  ~FakeProgram() override { log_.push_back("close"); }

 private:
  Log& log_;
};

// Logs each operation as one line. The operation whose line equals `failAt`
// raises `failure` (a start returns null with the failure's number instead).
class FakePlatform final : public LauncherPlatform {
 public:
  Log log;
  std::u16string startDirectory = u"C:\\Palm";
  std::u16string workingDirectory = u"D:\\Data\\Sync";
  std::u16string commandLine = u"sync.exe /all";
  std::int32_t contextValue = 20260;
  int inputWakes = 0;  // wakes for input before the program's end
  std::string failAt;
  LaunchError failure{-2147352567, u"Sync profile is locked"};

  std::unique_ptr<OutsideObject> CreateObject(const std::u16string& progId) override {
    Record("create " + Narrow(progId));
    return std::make_unique<FakeObject>(Narrow(progId), log);
  }
  std::unique_ptr<OutsideObject> GetObjectProperty(OutsideObject& object,
                                                   const std::u16string& name) override {
    std::string member = Member(object, name);
    Record("get " + member);
    return std::make_unique<FakeObject>(member, log);
  }
  std::int32_t GetNumberProperty(OutsideObject& object, const std::u16string& name) override {
    Record("get " + Member(object, name));
    return contextValue;
  }
  std::u16string GetTextProperty(OutsideObject& object, const std::u16string& name) override {
    Record("get " + Member(object, name));
    return name == u"WorkingDirectory" ? workingDirectory : commandLine;
  }
  std::unique_ptr<OutsideObject> CallForObject(OutsideObject& object, const std::u16string& name,
                                               std::int32_t argument) override {
    std::string member = Member(object, name);
    Record("call " + member + "(" + std::to_string(argument) + ")");
    return std::make_unique<FakeObject>(member, log);
  }

  std::u16string CurrentDirectory() override {
    Record("current directory");
    return startDirectory;
  }
  void ChangeDrive(char16_t letter) override {
    Record("drive " + Narrow(std::u16string(1, letter)));
  }
  void ChangeDirectory(const std::u16string& path) override { Record("directory " + Narrow(path)); }

  std::unique_ptr<StartedProgram> Start(const std::u16string& line, std::int32_t* error) override {
    std::string entry = "start " + Narrow(line);
    log.push_back(entry);
    if (entry == failAt) {
      *error = failure.number;
      return nullptr;
    }
    return std::make_unique<FakeProgram>(log);
  }
  bool WaitForEndOrInput(StartedProgram&) override {
    log.push_back("wait");
    return inputWakes-- <= 0;
  }
  void ProcessPendingMessages() override { log.push_back("messages"); }

  void ShowMessage(const std::u16string& text) override { log.push_back("box " + Narrow(text)); }

 private:
  static std::string Member(OutsideObject& object, const std::u16string& name) {
    return dynamic_cast<FakeObject&>(object).name + "." + Narrow(name);
  }
  void Record(const std::string& entry) {
    log.push_back(entry);
    if (entry == failAt) throw failure;
  }
};

const Log kObtainSettings = {
    "create Rozirar.Host",
    "get Rozirar.Host.Context",
    "create Rozirar.SettingsProvider",
    "get Rozirar.Host.Context.Value",
    "call Rozirar.SettingsProvider.GetSettings(20260)",
    "get Rozirar.SettingsProvider.GetSettings.WorkingDirectory",
    "get Rozirar.SettingsProvider.GetSettings.CommandLine",
};

const Log kReleaseAll = {
    "release Rozirar.SettingsProvider.GetSettings",
    "release Rozirar.SettingsProvider",
    "release Rozirar.Host.Context",
    "release Rozirar.Host",
};

Log Concat(std::initializer_list<Log> parts) {
  Log all;
  for (const Log& part : parts)
    all.insert(all.end(), part.begin(), part.end());
  return all;
}

// Messages are handled after every wake, the last one included. A program
// that has ended before the wait, or a wait that fails, ends it at the first.
TEST(StartupTest, CompleteRunWaitsForTheProgramAndRestoresTheStartDirectory) {
  struct Case {
    int inputWakes;
    Log wait;
  } cases[] = {
      {0, {"wait", "messages"}},
      {2, {"wait", "messages", "wait", "messages", "wait", "messages"}},
  };
  for (const Case& c : cases) {
    FakePlatform platform;
    platform.inputWakes = c.inputWakes;
    EXPECT_FALSE(RunStartup(platform).has_value());
    Log expected =
        Concat({kObtainSettings,
                {"current directory", "drive D", "directory D:\\Data\\Sync", "start sync.exe /all"},
                c.wait,
                {"close", "drive C", "directory C:\\Palm"},
                kReleaseAll});
    EXPECT_EQ(platform.log, expected) << c.inputWakes;
  }
}

TEST(StartupTest, DriveChangesOnlyForPathsWithADriveLetter) {
  struct Case {
    std::u16string working;
    std::u16string start;
    Log changes;  // drive and directory changes, there and back
  } cases[] = {
      {u"D:\\Data\\Sync",
       u"C:\\Palm",
       {"drive D", "directory D:\\Data\\Sync", "drive C", "directory C:\\Palm"}},
      {u"\\\\server\\share\\dir",
       u"C:\\Palm",
       {"directory \\\\server\\share\\dir", "drive C", "directory C:\\Palm"}},
      {u"e:", u"\\\\server\\share", {"drive e", "directory e:", "directory \\\\server\\share"}},
      {u"Data\\Sync", u"z:\\", {"directory Data\\Sync", "drive z", "directory z:\\"}},
      {u"1:\\x", u"C:\\", {"directory 1:\\x", "drive C", "directory C:\\"}},
  };
  for (const Case& c : cases) {
    FakePlatform platform;
    platform.workingDirectory = c.working;
    platform.startDirectory = c.start;
    EXPECT_FALSE(RunStartup(platform).has_value());
    Log changes;
    for (const std::string& entry : platform.log) {
      if (entry.rfind("drive ", 0) == 0 || entry.rfind("directory ", 0) == 0)
        changes.push_back(entry);
    }
    EXPECT_EQ(changes, c.changes) << Narrow(c.working);
  }
}

// Every failure shows one message box with the failure's number and
// description, changes no directory back and closes nothing; the objects
// obtained so far are released after the box, as when the program ends.
TEST(StartupTest, EveryFailingStepEndsInOneMessageBox) {
  struct Case {
    std::string failAt;
    std::int32_t number;
    std::string description;
    std::string box;
    std::size_t objectsHeld;  // outside objects obtained before the failure
  } cases[] = {
      {"create Rozirar.Host", -2147221005, "Invalid class string",
       "Error #-2147221005 (Invalid class string).", 0},
      {"get Rozirar.Host.Context", -2147352573, "Member not found",
       "Error #-2147352573 (Member not found).", 1},
      {"create Rozirar.SettingsProvider", -2147221164, "", "Error #-2147221164 ().", 2},
      {"get Rozirar.Host.Context.Value", 1004, "No sync in progress",
       "Error #1004 (No sync in progress).", 3},
      {"call Rozirar.SettingsProvider.GetSettings(20260)", -2147220991, "Profile locked",
       "Error #-2147220991 (Profile locked).", 3},
      {"get Rozirar.SettingsProvider.GetSettings.WorkingDirectory", -2147024891, "Access denied",
       "Error #-2147024891 (Access denied).", 4},
      {"get Rozirar.SettingsProvider.GetSettings.CommandLine", -2147352571, "Type mismatch",
       "Error #-2147352571 (Type mismatch).", 4},
      {"drive D", 15, "Invalid drive", "Error #15 (Invalid drive).", 4},
      {"directory D:\\Data\\Sync", 3, "Path not found", "Error #3 (Path not found).", 4},
      {"start sync.exe /all", 2, "ignored", "Error #2 (Unable to start program sync.exe /all).", 4},
      {"start sync.exe /all", 0, "ignored", "Error #0 (Unable to start program sync.exe /all).", 4},
      {"drive C", 15, "Invalid drive", "Error #15 (Invalid drive).", 4},
      {"directory C:\\Palm", 3, "Path not found", "Error #3 (Path not found).", 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.failAt);
    FakePlatform platform;
    platform.failAt = c.failAt;
    platform.failure = LaunchError{c.number, Widen(c.description)};
    std::optional<LaunchError> shown = RunStartup(platform);
    ASSERT_TRUE(shown.has_value());
    EXPECT_EQ(shown->number, c.number);

    const Log& log = platform.log;
    auto failed = std::find(log.begin(), log.end(), c.failAt);
    ASSERT_NE(failed, log.end());
    ASSERT_NE(failed + 1, log.end());
    EXPECT_EQ(*(failed + 1), "box " + c.box);
    Log after(failed + 2, log.end());
    Log releases(kReleaseAll.end() - static_cast<std::ptrdiff_t>(c.objectsHeld), kReleaseAll.end());
    EXPECT_EQ(after, releases);
    // Nothing changes back: the failure's own change is the last one.
    bool restoring = c.failAt == "drive C" || c.failAt == "directory C:\\Palm";
    EXPECT_EQ(std::count(log.begin(), log.end(), "drive C"), restoring ? 1 : 0);
    EXPECT_EQ(std::count(log.begin(), log.end(), "close"), restoring ? 1 : 0);
  }
}

TEST(StartupTest, MessageTexts) {
  struct Case {
    std::int32_t number;
    std::u16string description;
    std::u16string text;
  } cases[] = {
      {76, u"Path not found", u"Error #76 (Path not found)."},
      {-2147221005, u"Invalid class string", u"Error #-2147221005 (Invalid class string)."},
      {0, u"", u"Error #0 ()."},
      {INT32_MIN, u"x", u"Error #-2147483648 (x)."},
      {INT32_MAX, u"\u00e9t\u00e9", u"Error #2147483647 (\u00e9t\u00e9)."},
  };
  for (const Case& c : cases)
    EXPECT_EQ(FormatErrorMessage(c.number, c.description), c.text) << c.number;
}

}  // namespace
}  // namespace launcher
