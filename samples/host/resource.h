// Resource ids of the sample host.
#pragma once

#define IDD_GENERAL 100
#define IDC_KEY_NAME 1101
#define IDC_LIBRARY_VERSION 1102
#define IDC_CONNECTION 1103
#define IDC_LAST_HELP 1104
