/* Resource and control ids of the Service page; read by windres and by C++ alike. */
#ifndef SVCSHEET_SERVICE_PAGE_IDS_H
#define SVCSHEET_SERVICE_PAGE_IDS_H

#define IDD_SERVICE_PAGE 106

#define IDC_STATUS_TEXT 1000
#define IDC_START_AUTOMATIC 1001
#define IDC_START_MANUAL 1002
#define IDC_START_DISABLED 1003
#define IDC_START_SERVICE 1005
#define IDC_CONTINUE_SERVICE 1006
#define IDC_PAUSE_SERVICE 1007
#define IDC_STOP_SERVICE 1008
#define IDC_INTERACT_WITH_DESKTOP 1016
#define IDC_STATUS_GROUP 1017
#define IDC_STARTUP_GROUP 1018
#define IDC_CONTROL_GROUP 1019

/* Texts the page sets at run time. */
#define IDS_NOT_INSTALLED 328
#define IDS_ACCESS_DENIED 329

#endif
