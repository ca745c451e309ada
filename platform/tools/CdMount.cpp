// cdmount: gives a Unix folder a Wine drive letter of type CD-ROM, or takes it away.
//   cdmount R: /path/to/folder     define R: (a letter "*" picks a free one and prints it)
//   cdmount /d R:                  remove R:
#include <stdio.h>
#include <wchar.h>

#include <string>

#include "platform/tools/WineDrive.h"

namespace {

int Usage() {
  fwprintf(stderr, L"usage: cdmount X: /unix/folder   (X may be *)\n       cdmount /d X:\n");
  return 2;
}

std::string ToUtf8(const wchar_t* text) {
  int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return std::string();
  std::string out(static_cast<size_t>(n - 1), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
  return out;
}

wchar_t Letter(const wchar_t* arg) {
  if (!arg[0] || (arg[1] && (arg[1] != L':' || arg[2]))) return 0;
  wchar_t c = towupper(arg[0]);
  return (c >= L'A' && c <= L'Z') || c == L'*' ? c : 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) return Usage();
  if (_wcsicmp(argv[1], L"/d") == 0) {
    wchar_t letter = Letter(argv[2]);
    if (!letter || letter == L'*') return Usage();
    DWORD error = cdgrab::RemoveWineDrive(letter);
    if (error) fwprintf(stderr, L"cdmount: cannot remove %lc: (error %lu)\n", letter, error);
    return error ? 1 : 0;
  }
  wchar_t letter = Letter(argv[1]);
  if (!letter) return Usage();
  if (letter == L'*') {
    letter = cdgrab::DefineFreeWineCdDrive(cdgrab::kSpareLetters, ToUtf8(argv[2]));
    if (!letter) {
      fwprintf(stderr, L"cdmount: no free drive letter\n");
      return 1;
    }
    wprintf(L"%lc:\n", letter);
    return 0;
  }
  DWORD error = cdgrab::DefineWineCdDrive(letter, ToUtf8(argv[2]));
  if (error) {
    fwprintf(stderr, L"cdmount: cannot define %lc: (error %lu)\n", letter, error);
    return 1;
  }
  wprintf(L"%lc:\n", letter);
  return 0;
}
