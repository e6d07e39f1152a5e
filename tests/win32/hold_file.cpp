// hold_file PATH: stands in for another program that has a photograph open without sharing it
// (an editor or a virus scanner): opens PATH with no share access, says "held" on standard output
// and keeps it open until standard input ends or the process is ended. Exit status 1 when the
// file cannot be opened.
#include <windows.h>

#include <cstdio>

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::printf("usage: hold_file PATH\n");
    return 1;
  }
  HANDLE file = CreateFileW(argv[1], GENERIC_READ, 0 /* no sharing */, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    std::printf("hold_file: cannot open the file (error %lu)\n", GetLastError());
    return 1;
  }
  std::printf("held\n");
  std::fflush(stdout);
  while (std::getchar() != EOF) {
  }
  CloseHandle(file);
  return 0;
}
