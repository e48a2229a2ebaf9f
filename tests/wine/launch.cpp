// Test launcher, run under Wine: starts a program with an exact command line, answers its
// message boxes, and reports what it saw.
//
//   launch.exe [--hold <file>] <program> <command line in hexadecimal>
//
// --hold keeps <file> open without sharing while the program runs, as another program may.
// Prints one line "box <owner> <caption>|<text>" per message box (owner "none" when it has
// no owner window), then "exit <code>". A hexadecimal command line passes TABs, blanks and
// quotes through unchanged.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

int hex_digit(char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; }

std::string decode(const char* hex) {
    std::string out;
    for (; hex[0] && hex[1]; hex += 2) out += static_cast<char>(hex_digit(hex[0]) * 16 + hex_digit(hex[1]));
    return out;
}

// Reports and closes the message boxes the process `pid` shows.
void answer_boxes(DWORD pid) {
    HWND box = nullptr;
    while ((box = FindWindowExA(nullptr, box, "#32770", nullptr)) != nullptr) {
        DWORD owner_pid = 0;
        GetWindowThreadProcessId(box, &owner_pid);
        if (owner_pid != pid || !IsWindowVisible(box)) continue;
        char caption[256] = {};
        char text[512] = {};
        GetWindowTextA(box, caption, sizeof caption);
        GetDlgItemTextA(box, 0xFFFF, text, sizeof text); // the message text's static control
        std::printf("box %s %s|%s\n", GetWindow(box, GW_OWNER) ? "some" : "none", caption, text);
        std::fflush(stdout);
        PostMessageA(box, WM_COMMAND, IDOK, 0);
        Sleep(20);
    }
}

} // namespace

int main(int argc, char** argv) {
    HANDLE held = INVALID_HANDLE_VALUE;
    if (argc == 5 && std::string(argv[1]) == "--hold") {
        held = CreateFileA(argv[2], GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (held == INVALID_HANDLE_VALUE) {
            std::printf("hold-failed %lu\n", GetLastError());
            return 3;
        }
        argv += 2;
        argc -= 2;
    }
    if (argc != 3) {
        std::fprintf(stderr, "usage: launch.exe [--hold <file>] <program> <command line in hex>\n");
        return 2;
    }
    std::string line = decode(argv[2]);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(argv[1], line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        std::printf("start-failed %lu\n", GetLastError());
        return 3;
    }
    while (WaitForSingleObject(process.hProcess, 20) == WAIT_TIMEOUT) answer_boxes(process.dwProcessId);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    std::printf("exit %lu\n", code);
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
    return 0;
}
