// The resource and control identifiers of the main window, shared by its resource script and its code.
#pragma once

#define IDI_SKORVA 1
#define IDI_DISKETTE 2
#define IDD_FORM1 100

#define IDC_LIST1 1001
#define IDC_PICTURE1 1002
#define IDC_COMMAND1 1003
#define IDC_START 1004
#define IDC_PAUSE 1005
#define IDC_WINDOWTOP 1006
#define IDC_BTSTOP 1007
#define IDC_RESET 1008
#define IDC_LABEL1 1009
#define IDC_TEXT1 1010
#define IDC_CBJPG 1011
#define IDC_CBBMP 1012
#define IDC_OPENDIR 1013
#define IDC_TXTPATH 1014
#define IDC_AVIWRITE 1015
#define IDC_LABEL2 1016
#define IDC_TXTFPS 1017
#define IDC_FILE1 1018
#define IDC_LABEL4 1019
#define IDC_LABEL5 1020
#define IDC_COMBO1 1021
#define IDC_LABEL6 1022
#define IDC_IMAGE1 1023
#define IDC_LINE1 1024
