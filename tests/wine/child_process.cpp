// Test support: runs another program of the prefix and captures its output.
#include "child_process.h"

#include <windows.h>

namespace test_support {

std::string program_beside_this_one(const char* name) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string program = path;
    program.erase(program.rfind('\\') + 1);
    return program + name;
}

std::string run_and_capture(std::string command_line) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE read_end = nullptr;
    HANDLE write_end = nullptr;
    if (!CreatePipe(&read_end, &write_end, &inherit, 0)) {
        return "CreatePipe failed";
    }
    SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = write_end;
    startup.hStdError = write_end;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION process = {};
    const BOOL started = CreateProcessA(nullptr, &command_line[0], nullptr, nullptr, TRUE,
                                        CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process);
    CloseHandle(write_end);
    std::string output;
    if (started) {
        // Read until the program has ended, not until the pipe closes: a long-lived Wine
        // process it happened to start (explorer.exe for the desktop, say) inherits the
        // write end and would keep the pipe open long after the program is gone.
        const DWORD start = GetTickCount();
        bool ended = false;
        for (;;) {
            DWORD available = 0;
            if (!PeekNamedPipe(read_end, nullptr, 0, nullptr, &available, nullptr)) {
                break; // every writer is gone
            }
            if (available > 0) {
                char chunk[512];
                DWORD read = 0;
                if (!ReadFile(read_end, chunk, sizeof chunk < available ? sizeof chunk : available,
                              &read, nullptr)) {
                    break;
                }
                output.append(chunk, read);
                continue;
            }
            if (ended) {
                break; // what the program wrote before it ended has been read
            }
            ended = WaitForSingleObject(process.hProcess, 10) == WAIT_OBJECT_0 ||
                    GetTickCount() - start >= 30000;
        }
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    } else {
        output = "CreateProcess failed: " + std::to_string(GetLastError());
    }
    CloseHandle(read_end);
    return output;
}

} // namespace test_support
