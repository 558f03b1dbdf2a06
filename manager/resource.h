// Control and resource numbers of the manager's windows.
#pragma once

#define IDD_MAINFORM 100
#define IDD_EXCLUSION 101
#define IDD_SETUP 102
#define IDD_ABOUT 103
#define IDD_INPUT 104

// MainForm
#define IDC_APPLICATIONCHECK 1001
#define IDC_SECURITYCHECK 1002
#define IDC_SYSTEMCHECK 1003
#define IDC_DSCHECK 1004
#define IDC_DNSCHECK 1005
#define IDC_FRSCHECK 1006
#define IDC_CKINFORMATION 1007
#define IDC_CKWARNING 1008
#define IDC_CKERROR 1009
#define IDC_OPTINCLUDE 1010
#define IDC_OPTEXCLUDE 1011
#define IDC_LIST1 1012
#define IDC_LABEL1 1013
#define IDC_TOOLBAR1 1014
#define IDC_START 1101
#define IDC_STOP 1102
#define IDC_ADD 1103
#define IDC_DELETE 1104
#define IDC_SETUP 1105
#define IDC_ABOUTBTN 1106

// frmExclusion
#define IDC_EX_TEXT1 1201
#define IDC_EX_TEXT2 1202
#define IDC_EX_OK 1203
#define IDC_EX_CANCEL 1204

// frmSMTPSetup
#define IDC_SU_TEXT1 1301
#define IDC_SU_TEXT2 1302
#define IDC_SU_TEXT3 1303
#define IDC_SU_TEXT4 1304
#define IDC_SU_TEXT5 1305
#define IDC_SU_TEXT6 1306
#define IDC_SU_PROTOCOL 1307
#define IDC_SU_SECURE 1308
#define IDC_SU_SENDTEST 1309
#define IDC_SU_LIST1 1310
#define IDC_SU_ADD 1311
#define IDC_SU_REMOVE 1312
#define IDC_SU_TEST 1313
#define IDC_SU_SENDEMAIL 1314
#define IDC_SU_CONSOLE 1315
#define IDC_SU_OK 1316
#define IDC_SU_CANCEL 1317
#define IDC_SU_INPUT 1318

// Input box
#define IDC_IN_PROMPT 1401
#define IDC_IN_TEXT 1402

// About box
#define IDC_AB_VERSION 1501

// Pictures: the program's icon (the first, so that it stands for the program) and the
// toolbar's six pictures.
#define IDI_TALLISK 1
#define IDB_TOOLBAR 2
