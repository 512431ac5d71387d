// Holds a file open the way beacon software holds wxnow.txt while it reads it, until it is ended:
// read access, sharing reading and, with "rw", writing too, but never deletion.
//   hold-file.exe PATH r|rw
// Prints "held" once the file is open; exits 1 with the system's code when it cannot open it.
#include <windows.h>

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t* argv[])
{
    if (argc != 3 || (std::wcscmp(argv[2], L"r") != 0 && std::wcscmp(argv[2], L"rw") != 0)) {
        std::fputs("usage: hold-file PATH r|rw\n", stderr);
        return 2;
    }
    const DWORD sharing =
        FILE_SHARE_READ | (std::wcscmp(argv[2], L"rw") == 0 ? FILE_SHARE_WRITE : 0);
    const HANDLE file = ::CreateFileW(argv[1], GENERIC_READ, sharing, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "hold-file: cannot open the file: error %lu\n", ::GetLastError());
        return 1;
    }
    std::puts("held");
    std::fflush(stdout);
    ::Sleep(INFINITE);
    return 0;
}
