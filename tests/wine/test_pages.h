// Dialog templates of the test host's own pages.
#pragma once

#define IDD_TEST_ALPHA 201
#define IDD_TEST_BETA 202
#define IDD_TEST_GAMMA 203
#define IDC_TEST_LABEL 2001
