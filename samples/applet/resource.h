// Resource ids of the sample applet.
#pragma once

#define IDI_SVCDEMO 1
#define IDS_NAME 1
#define IDS_INFO 2
#define IDS_SERVICE 3
#define IDD_GENERAL 100
#define IDC_SERVICE_NAME 1101
#define IDC_CONNECTION 1102
