// Resource ids of the window tests' templates.
#pragma once

#define IDD_TEST 100
#define IDD_PAGE1 200
#define IDD_PAGE2 201
#define IDC_EDIT 1001
#define IDC_BUTTON 1002
#define IDC_CHECK 1003
#define IDC_RADIO1 1004
#define IDC_RADIO2 1005
#define IDC_RADIO3 1006
#define IDC_NUMBER 1007
#define IDC_PAGE_EDIT 1101
