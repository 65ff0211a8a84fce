/* A C host: the header must compile as C, and every stdcall import must bind. */
#include <svcsheet.h>

#include <stdio.h>

int main(void) {
    static const SVCSHEET_HELPMAP_ENTRY map[] = {{1005, 0x21007}, {0, 0}};
    if (LookupHelpMap(map, 1005) != 0x21007) {
        fprintf(stderr, "consumer: LookupHelpMap gave the wrong context id\n");
        return 1;
    }
    printf("consumer: svcsheet answered\n");
    return 0;
}
