// The launcher's run over its platform operations.
#include "launcher/startup.h"

#include <string>

#include "launcher/outside_objects.h"

namespace launcher {
namespace {

// The outside objects, held for the whole run and released in reverse order.
struct OutsideObjects {
  std::unique_ptr<OutsideObject> host;
  std::unique_ptr<OutsideObject> hostContext;
  std::unique_ptr<OutsideObject> settingsProvider;
  std::unique_ptr<OutsideObject> launchSettings;
};

// Whether `path` begins with a drive letter and a colon ("D:\Data", "d:").
bool HasDriveLetter(const std::u16string& path) {
  if (path.size() < 2 || path[1] != u':') return false;
  char16_t letter = path[0];
  return (letter >= u'A' && letter <= u'Z') || (letter >= u'a' && letter <= u'z');
}

// Paths without a drive letter (UNC, relative, empty) change the directory only.
void ChangeTo(LauncherPlatform& platform, const std::u16string& directory) {
  if (HasDriveLetter(directory)) platform.ChangeDrive(directory[0]);
  platform.ChangeDirectory(directory);
}

// Everything up to the end of the run; any failure raises LaunchError.
void Launch(LauncherPlatform& platform, OutsideObjects& objects) {
  objects.host = platform.CreateObject(kHostClass);
  objects.hostContext = platform.GetObjectProperty(*objects.host, kContextProperty);
  objects.settingsProvider = platform.CreateObject(kSettingsProviderClass);
  std::int32_t contextValue = platform.GetNumberProperty(*objects.hostContext, kValueProperty);
  objects.launchSettings =
      platform.CallForObject(*objects.settingsProvider, kGetSettingsMethod, contextValue);

  std::u16string workingDirectory =
      platform.GetTextProperty(*objects.launchSettings, kWorkingDirectoryProperty);
  std::u16string commandLine =
      platform.GetTextProperty(*objects.launchSettings, kCommandLineProperty);

  std::u16string savedDirectory = platform.CurrentDirectory();
  ChangeTo(platform, workingDirectory);

  std::int32_t startError = 0;
  std::unique_ptr<StartedProgram> program = platform.Start(commandLine, &startError);
  if (!program) throw LaunchError{startError, kUnableToStart + commandLine};

  // Messages are handled after every wake, the last one included, so that
  // nothing sent to the launcher's windows waits for the program's end.
  for (bool ended = false; !ended;) {
    ended = platform.WaitForEndOrInput(*program);
    platform.ProcessPendingMessages();
  }
  program.reset();

  ChangeTo(platform, savedDirectory);
}

}  // namespace

std::u16string FormatErrorMessage(std::int32_t number, const std::u16string& description) {
  std::u16string text = u"Error #";
  for (char digit : std::to_string(number))
    text += static_cast<char16_t>(digit);
  text += u" (";
  text += description;
  text += u").";
  return text;
}

std::optional<LaunchError> RunStartup(LauncherPlatform& platform) {
  // Declared outside the handler, so that on the error path the objects stay
  // alive until the message box is closed, as on the normal path until the end.
  OutsideObjects objects;
  try {
    Launch(platform, objects);
    return std::nullopt;
  } catch (const LaunchError& error) {
    platform.ShowMessage(FormatErrorMessage(error.number, error.description));
    return error;
  }
}

}  // namespace launcher
