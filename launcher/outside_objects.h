// The outside automation objects that hand the launcher its working directory
// and command line. A sync manager provides them; the launcher reaches them
// late-bound (class by ProgID, members by name through IDispatch), in this order:
//
//   OBJECT             REACHED BY                          MEMBER USED
//   host object        class "Rozirar.Host"                property Context: an object
//   host context       the value of Context                property Value: a 32-bit number
//   settings provider  class "Rozirar.SettingsProvider"    method GetSettings(Value): an object
//   launch settings    the value of GetSettings            properties WorkingDirectory, then
//                                                          CommandLine: text
//
// Nothing else of these objects is used. Every object is kept until the
// launcher ends, so the host sees the whole run, the wait included.
#ifndef KDDAO_LAUNCHER_OUTSIDE_OBJECTS_H_
#define KDDAO_LAUNCHER_OUTSIDE_OBJECTS_H_

namespace launcher {

inline constexpr char16_t kHostClass[] = u"Rozirar.Host";
inline constexpr char16_t kSettingsProviderClass[] = u"Rozirar.SettingsProvider";

inline constexpr char16_t kContextProperty[] = u"Context";
inline constexpr char16_t kValueProperty[] = u"Value";
inline constexpr char16_t kGetSettingsMethod[] = u"GetSettings";
inline constexpr char16_t kWorkingDirectoryProperty[] = u"WorkingDirectory";
inline constexpr char16_t kCommandLineProperty[] = u"CommandLine";

}  // namespace launcher

#endif  // KDDAO_LAUNCHER_OUTSIDE_OBJECTS_H_
