// Resource ids of the program: dialog templates, icons, the link cursor,
// chart page templates and the control ids of the templates. Plain #defines
// so that both C++ and the resource compiler read this file.
#pragma once

// Icons and the cursor.
#define IDI_APPLICATION_ICON 101
#define IDC_LINK_CURSOR 108
#define IDI_SEARCH 109
#define IDI_ABOUT 110
#define IDI_TRACKER 111
#define IDI_CLOCK 112
#define IDI_INFO 113
#define IDI_SLEEPING 114
#define IDI_WALKING 115
#define IDI_CHART 116
#define IDI_BLUETOOTH 117
#define IDI_DATE 118
#define IDI_CALORIES 119
#define IDI_DEVICE_MANAGER 120
#define IDI_EXPORT 121

// Dialog templates: the main window and its pages.
#define IDD_MAIN 102
#define IDD_PAGE_INFO 104
#define IDD_PAGE_SLEEPING 105
#define IDD_PAGE_WALKING 106
#define IDD_PAGE_ABOUT 107
#define IDD_PAGE_TRENDS 123
// The export and backup dialog.
#define IDD_DATA 122
// Naming a tracker.
#define IDD_RENAME 125
#define IDC_RENAME_TRACKER 1301
#define IDC_RENAME_NAME 1302

// Chart page templates (RCDATA resources, single-byte text).
#define IDR_SLEEPING_PAGE 116
#define IDR_WALKING_PAGE 119
#define IDR_TRENDS_PAGE 130

// Main window (dialog 102).
#define IDC_MAIN_CLOSE 1003
#define IDC_MAIN_TABS 1004
#define IDC_MAIN_WEB_LINK 1005
#define IDC_MAIN_DEVICES 1010
#define IDC_MAIN_SEARCH 1014
#define IDC_MAIN_BLUETOOTH 1015
#define IDC_MAIN_DEVICE_MANAGER 1016
#define IDC_MAIN_EXPORT 1017
#define IDC_MAIN_STATUS 1020

// Info page (dialog 104).
#define IDC_INFO_BATTERY 1011
#define IDC_INFO_TIME 1012
#define IDC_INFO_FIRMWARE 1013
#define IDC_INFO_HARDWARE 1015
#define IDC_INFO_SET_TIME 1019
#define IDC_INFO_BATTERY_TEXT 1026

// Walking page (dialog 106); the chart view starts 75 dialog units down.
#define IDC_WALKING_DATES 1015
#define IDC_WALKING_STEPS 1016
#define IDC_WALKING_DISTANCE 1017
#define IDC_WALKING_CALORIES 1018
#define IDC_WALKING_RUN_STEPS 1021
#define IDC_WALKING_RUN_DISTANCE 1022
#define IDC_WALKING_RUN_CALORIES 1023
#define IDC_WALKING_RUN_DURATION 1024

// Both chart pages: the "Table" switch and the table that stands in for the chart.
#define IDC_CHART_TABLE_SWITCH 1044
#define IDC_CHART_TABLE 1045

// Sleeping page (dialog 105); the chart view starts 38 dialog units down.
#define IDC_SLEEPING_DATES 1015
#define IDC_SLEEPING_BEDTIME 1031
#define IDC_SLEEPING_WAKE 1032
#define IDC_SLEEPING_ASLEEP 1033
#define IDC_SLEEPING_AWAKE 1034
#define IDC_SLEEPING_NIGHT_PROBLEM 1035
// The chart both pages draw themselves where no browser engine is there.
#define IDC_CHART_NATIVE 1043

// Both chart pages: the earlier and the later run beside the date list, and
// the day to go to.
#define IDC_RUN_PREVIOUS 1040
#define IDC_RUN_NEXT 1041
#define IDC_RUN_DAY 1042

// Trends page (dialog 123): the figures are label and value pairs, the
// n-th figure's label IDC_TRENDS_LABEL + n and value IDC_TRENDS_VALUE + n.
#define IDC_TRENDS_PERIOD 1201
#define IDC_TRENDS_PREVIOUS 1202
#define IDC_TRENDS_NEXT 1203
#define IDC_TRENDS_TITLE 1204
#define IDC_TRENDS_GOAL 1205
#define IDC_TRENDS_SET_GOAL 1206
#define IDC_TRENDS_STATUS 1207
#define IDC_TRENDS_UNIT 1208
#define IDC_TRENDS_LABEL 1210
#define IDC_TRENDS_VALUE 1230
#define TRENDS_FIGURE_COUNT 9

// About page (dialog 107).
#define IDC_ABOUT_UPDATE_CHECK 1006
#define IDC_ABOUT_TITLE 1007
#define IDC_ABOUT_VERSION 1008

// Export and backup (dialog 122).
#define IDC_DATA_KIND 1101
#define IDC_DATA_SELECTED 1102
#define IDC_DATA_ALL 1103
#define IDC_DATA_FROM 1104
#define IDC_DATA_TO 1105
#define IDC_DATA_EXPORT 1106
#define IDC_DATA_PROGRESS 1107
#define IDC_DATA_CANCEL 1108
#define IDC_DATA_STATUS 1109
#define IDC_DATA_AUTO 1110
#define IDC_DATA_FOLDER 1111
#define IDC_DATA_BROWSE 1112
#define IDC_DATA_KEEP 1113
#define IDC_DATA_KEEP_SPIN 1114
#define IDC_DATA_BACKUP_NOW 1115
#define IDC_DATA_IMPORT 1116

// Where the pages' chart views start, in dialog units from the page's top.
#define WALKING_CHART_TOP 75
#define SLEEPING_CHART_TOP 38
#define CHART_SIDE_MARGIN 10
// The Trends page's chart view: right of the figures, from the top.
#define TRENDS_CHART_LEFT 200
#define TRENDS_CHART_TOP 5
