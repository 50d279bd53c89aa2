// Which platform the library was built for, for the few callers (mostly tests)
// whose expectations follow the platform's own services.
#ifndef KDDAO_FOUNDATION_PLATFORM_H_
#define KDDAO_FOUNDATION_PLATFORM_H_

namespace kd {

#ifdef _WIN32
constexpr bool kWindowsBuild = true;
constexpr char kPathSeparator = '\\';
#else
constexpr bool kWindowsBuild = false;
constexpr char kPathSeparator = '/';
#endif

}  // namespace kd

#endif  // KDDAO_FOUNDATION_PLATFORM_H_
