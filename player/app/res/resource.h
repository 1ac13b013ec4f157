// Resource ids of the program. Included by Halvery.rc and by the code.
#pragma once

#define IDM_ABOUTBOX 0x0010
#define IDS_ABOUTBOX 101
#define IDD_QUENBY_DIALOG 102
#define IDR_MAINFRAME 128
#define IDR_TRAY_MENU 146
#define IDR_PLAY_MENU 147
#define IDB_SCROLLBAR 149

// Controls of the main window.
#define IDC_PLAY_PROGRESS 1000
#define IDC_BTN_PREV 1001
#define IDC_BTN_PLAY 1002
#define IDC_BTN_NEXT 1003
#define IDC_PLAY_VOLUME 1004
#define IDC_MUSIC_TREE 1005
#define IDC_BTN_CLOSE 1006
#define IDC_BTN_MAX 1011
#define IDC_BTN_MIN 1012
#define IDC_BTN_SETTING 1013
#define IDC_LBL_STATUS 1015
#define IDC_BTN_SKIN 1017
#define IDC_LBL_ELAPSED 1018
#define IDC_LBL_TOTAL 1019
#define IDC_AD_TEXT 1020
#define IDC_SUGGEST 1021
#define IDC_BTN_PLAYMODE 1022
#define IDC_BANNER_VIEW 1024
#define IDC_SPARE_FRAME 1026
#define IDC_MAIN_VIEW 1027

// Menu commands: the tray menu and the play-mode menu.
#define ID_TRAY_SETTING 32773
#define ID_TRAY_EXIT 32774
#define ID_MODE_REPEAT_ONE 32779
#define ID_MODE_IN_ORDER 32780
#define ID_MODE_REPEAT_LIST 32781
#define ID_MODE_RANDOM 32782
