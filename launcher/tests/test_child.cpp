// The program the launcher starts in its end-to-end test:
//   launcher_test_child RECORD-FILE MILLISECONDS EXIT-STATUS
// Writes its current directory and its whole command line to RECORD-FILE,
// sleeps MILLISECONDS, appends "ended" and exits with EXIT-STATUS. A GUI
// program, so that starting it opens no console.
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <cwchar>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  int count = 0;
  wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  if (arguments == nullptr || count != 4) return 2;
  FILE* record = _wfopen(arguments[1], L"wb");
  if (record == nullptr) return 2;
  wchar_t directory[MAX_PATH] = L"";
  GetCurrentDirectoryW(MAX_PATH, directory);
  std::fprintf(record, "directory %ls\ncommand line %ls\n", directory, GetCommandLineW());
  std::fclose(record);

  Sleep(static_cast<DWORD>(std::wcstoul(arguments[2], nullptr, 10)));

  record = _wfopen(arguments[1], L"ab");
  if (record == nullptr) return 2;
  std::fprintf(record, "ended\n");
  std::fclose(record);
  return static_cast<int>(std::wcstoul(arguments[3], nullptr, 10));
}
