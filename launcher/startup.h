// The launcher's whole run: obtain a working directory and a command line from
// the outside objects, start the command there, wait until it has ended, make
// the start directory current again. Any failure on the way ends in one
// message box. Written against LauncherPlatform, so that the sequence runs
// the same over the Win32 operations and over a test's fake.
#ifndef KDDAO_LAUNCHER_STARTUP_H_
#define KDDAO_LAUNCHER_STARTUP_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace launcher {

// The error in effect: what a failed operation reports. Thrown by value by
// the platform operations and caught only by RunStartup.
struct LaunchError {
  std::int32_t number = 0;     // HRESULT, system error code or the launcher's own
  std::u16string description;  // may be empty
};

// An outside automation object held by the launcher; destroying it releases it.
class OutsideObject {
 public:
  virtual ~OutsideObject() = default;
};

// A program the launcher started; destroying it closes the launcher's handle
// to the process (the program keeps running).
class StartedProgram {
 public:
  virtual ~StartedProgram() = default;
};

// The operations the launcher needs. Every operation that can fail raises
// LaunchError, except where noted.
class LauncherPlatform {
 public:
  virtual ~LauncherPlatform() = default;

  // Outside objects (outside_objects.h). CreateObject creates an object of the
  // class named by `progId`; the others read a property or call a method of
  // `object` and convert the result to the type asked for.
  virtual std::unique_ptr<OutsideObject> CreateObject(const std::u16string& progId) = 0;
  virtual std::unique_ptr<OutsideObject> GetObjectProperty(OutsideObject& object,
                                                           const std::u16string& name) = 0;
  virtual std::int32_t GetNumberProperty(OutsideObject& object, const std::u16string& name) = 0;
  virtual std::u16string GetTextProperty(OutsideObject& object, const std::u16string& name) = 0;
  virtual std::unique_ptr<OutsideObject> CallForObject(OutsideObject& object,
                                                       const std::u16string& name,
                                                       std::int32_t argument) = 0;

  // The current directory, drive included.
  virtual std::u16string CurrentDirectory() = 0;
  // Makes drive `letter` current (its current directory on that drive).
  virtual void ChangeDrive(char16_t letter) = 0;
  // Makes `path` the current directory.
  virtual void ChangeDirectory(const std::u16string& path) = 0;

  // Starts `commandLine` with its window shown normally and given the focus.
  // Raises nothing: on failure returns null and sets `*error` to the system's
  // error number.
  virtual std::unique_ptr<StartedProgram> Start(const std::u16string& commandLine,
                                                std::int32_t* error) = 0;
  // Blocks until `program` has ended or input for the launcher's own windows
  // has arrived. Raises nothing: true when the program has ended or cannot be
  // waited for, false for input.
  virtual bool WaitForEndOrInput(StartedProgram& program) = 0;
  // Handles the launcher's pending window messages, then returns.
  virtual void ProcessPendingMessages() = 0;

  // Shows `text` in the launcher's message box (OK button only) and returns
  // when the user has closed it.
  virtual void ShowMessage(const std::u16string& text) = 0;
};

// The launcher's title, also the title of its message box.
inline constexpr char16_t kLauncherTitle[] = u"Tarnwick Rozirar";

// The description of a failed start, followed directly by the command line.
inline constexpr char16_t kUnableToStart[] = u"Unable to start program ";

// The text of the message box for an error: "Error #<number> (<description>)."
std::u16string FormatErrorMessage(std::int32_t number, const std::u16string& description);

// Runs the launcher once over `platform`. Returns nothing after a complete
// run; after a failure, the error shown in the message box. The outside
// objects are released when it returns, after the start directory is current
// again.
std::optional<LaunchError> RunStartup(LauncherPlatform& platform);

}  // namespace launcher

#endif  // KDDAO_LAUNCHER_STARTUP_H_
