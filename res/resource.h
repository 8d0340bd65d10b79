// Resource ids shared by the resource script and the code.
#pragma once

#define IDM_ABOUTBOX 0x0010
#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_CONVERTER 102
#define IDR_MAINFRAME 128

#define IDC_INPUT_FILE 1000
#define IDC_OUTPUT 1003
#define IDC_CONVERT 1005
#define IDC_WIDTH_BITS 1008
#define IDC_WIDTH_BYTES 1009
#define IDC_BROWSE 1011
#define IDC_FILL_ZEROS 1013
#define IDC_FILL_ONES 1014
#define IDC_USE_AUTOCOMPLETE 1016
#define IDC_CENTER_IMAGE 1017
#define IDC_THRESHOLD_SLIDER 1019
#define IDC_THRESHOLD 1020
#define IDC_CLEAR 1021

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
