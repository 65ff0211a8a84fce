/* A C host: the header must compile as C, and every stdcall import must bind. It
 * calls no C runtime, so the same file also links for the MSVC ABI without one
 * (run_msvc_consumer.sh). */
#include <svcsheet.h>

static void say(DWORD stream, const char* text) {
    DWORD length = 0;
    DWORD written = 0;
    while (text[length] != '\0') {
        ++length;
    }
    WriteFile(GetStdHandle(stream), text, length, &written, NULL);
}

static int run(void) {
    static const SVCSHEET_HELPMAP_ENTRY map[] = {{1005, 0x21007}, {0, 0}};
    if (LookupHelpMap(map, 1005) != 0x21007) {
        say(STD_ERROR_HANDLE, "consumer: LookupHelpMap gave the wrong context id\n");
        return 1;
    }
    SetLastError(0);
    if (InitServiceControl("svcsheet-consumer-no-such-service") != 0 ||
        GetLastError() != ERROR_SERVICE_DOES_NOT_EXIST) {
        say(STD_ERROR_HANDLE,
            "consumer: InitServiceControl of a missing service did not fail right\n");
        return 1;
    }
    DeInitServiceControl();
    say(STD_OUTPUT_HANDLE, "consumer: svcsheet answered\n");
    return 0;
}

#ifdef _MSC_VER
/* The MSVC-ABI build links no C runtime: this is the linker's entry point. */
void consumer_start(void) {
    ExitProcess((UINT)run());
}
#else
int main(void) {
    return run();
}
#endif
