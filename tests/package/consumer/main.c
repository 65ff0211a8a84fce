/* A C host: the header must compile as C, and every stdcall import must bind. */
#include <svcsheet.h>

#include <stdio.h>

int main(void) {
    static const SVCSHEET_HELPMAP_ENTRY map[] = {{1005, 0x21007}, {0, 0}};
    if (LookupHelpMap(map, 1005) != 0x21007) {
        fprintf(stderr, "consumer: LookupHelpMap gave the wrong context id\n");
        return 1;
    }
    SetLastError(0);
    if (InitServiceControl("svcsheet-consumer-no-such-service") != 0 ||
        GetLastError() != ERROR_SERVICE_DOES_NOT_EXIST) {
        fprintf(stderr, "consumer: InitServiceControl of a missing service did not fail right\n");
        return 1;
    }
    DeInitServiceControl();
    printf("consumer: svcsheet answered\n");
    return 0;
}
