#pragma once

#define IDD_LAYER_TEST 950
#define IDC_LT_TEXT 901
#define IDC_LT_NUMBER 902
#define IDC_LT_CHECK 903
#define IDC_LT_RADIO_A 904
#define IDC_LT_RADIO_B 905
#define IDC_LT_PUSH 906
#define IDC_LT_RADIO_C 907
#define IDC_LT_TRACKBAR 908
#define IDC_LT_THROW 909
