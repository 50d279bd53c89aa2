// The end-to-end test's view of the launcher from the same desktop:
//
//   launcher_test_helper watch STOP-FILE
//     Runs beside the launcher until STOP-FILE exists (at most two minutes).
//     Every message box titled "Tarnwick Rozirar" is read once it is visible,
//     closed with OK, and reported as "box: <text>" ("box: none" when there
//     was none). The first time the test server's probe window exists, it is
//     sent WM_APP and the result reported as "probe: answered" (the launcher
//     handled the message within two seconds) or "probe: silent".
//
//   launcher_test_helper resources PROGRAM
//     Prints the program's version strings and whether it holds the dialog
//     FORM1.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr LRESULT kProbeAnswer = 0x526F7A;  // as the test server answers

std::string Utf8(const std::wstring& text) {
  int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr,
                                 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &bytes[0], size,
                      nullptr, nullptr);
  return bytes;
}

// The box's message: the text of its static control that has one (the other
// holds the icon).
BOOL CALLBACK FindMessageText(HWND child, LPARAM found) {
  wchar_t className[16] = L"";
  GetClassNameW(child, className, 16);
  int length = GetWindowTextLengthW(child);
  if (_wcsicmp(className, L"Static") != 0 || length == 0) return TRUE;
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(child, &text[0], length + 1)));
  *reinterpret_cast<std::wstring*>(found) = text;
  return FALSE;
}

int Watch(const wchar_t* stopFile) {
  std::vector<std::wstring> boxes;
  const char* probe = nullptr;
  HWND lastBox = nullptr;
  DWORD start = GetTickCount();
  bool stop = false;
  while (!stop) {
    stop = GetFileAttributesW(stopFile) != INVALID_FILE_ATTRIBUTES;
    HWND box = FindWindowW(L"#32770", L"Tarnwick Rozirar");
    if (box != nullptr && box != lastBox && IsWindowVisible(box)) {
      std::wstring text;
      EnumChildWindows(box, FindMessageText, reinterpret_cast<LPARAM>(&text));
      boxes.push_back(text);
      lastBox = box;
      PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                   reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
    }
    HWND probeWindow = probe == nullptr ? FindWindowW(L"RozirarTestProbe", nullptr) : nullptr;
    if (probeWindow != nullptr) {
      DWORD_PTR answer = 0;
      bool answered =
          SendMessageTimeoutW(probeWindow, WM_APP, 0, 0, SMTO_NORMAL, 2000, &answer) != 0 &&
          static_cast<LRESULT>(answer) == kProbeAnswer;
      probe = answered ? "answered" : "silent";
    }
    if (GetTickCount() - start > 120000) {
      std::printf("watch: no stop file after two minutes\n");
      break;
    }
    if (!stop) Sleep(20);
  }
  if (boxes.empty()) std::printf("box: none\n");
  for (const std::wstring& text : boxes)
    std::printf("box: %s\n", Utf8(text).c_str());
  if (probe != nullptr) std::printf("probe: %s\n", probe);
  return 0;
}

int Resources(const wchar_t* program) {
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeW(program, &ignored);
  std::vector<unsigned char> info(size);
  if (size == 0 || !GetFileVersionInfoW(program, 0, size, info.data())) {
    std::printf("no version information\n");
    return 1;
  }
  for (const wchar_t* name : {L"ProductName", L"FileVersion", L"ProductVersion"}) {
    std::wstring path = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
    wchar_t* value = nullptr;
    UINT length = 0;
    bool found =
        VerQueryValueW(info.data(), path.c_str(), reinterpret_cast<void**>(&value), &length) != 0;
    std::printf("%ls: %s\n", name, found ? Utf8(value).c_str() : "(none)");
  }
  HMODULE module = LoadLibraryExW(program, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  bool form = module != nullptr && FindResourceW(module, L"FORM1", RT_DIALOG) != nullptr;
  std::printf("dialog FORM1: %s\n", form ? "present" : "missing");
  if (module != nullptr) FreeLibrary(module);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  _setmode(_fileno(stdout), _O_BINARY);  // "\n" as it is, for the shell that reads it
  if (argc == 3 && std::wcscmp(argv[1], L"watch") == 0) return Watch(argv[2]);
  if (argc == 3 && std::wcscmp(argv[1], L"resources") == 0) return Resources(argv[2]);
  std::fprintf(stderr, "usage: launcher_test_helper watch STOP-FILE | resources PROGRAM\n");
  return 2;
}
