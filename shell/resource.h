// Resource and command ids, shared by the resource script and the code. Only #define lines:
// the resource compilers read this file too.
#pragma once

// Strings, menu, accelerators, icon, About box and picture
#define IDS_APP_TITLE 103
#define IDC_IGAME 109
#define IDI_IGAME 107
#define IDD_ABOUTBOX 103
#define IDB_ABOUT 135

// Controls without an id of their own (windows.h leaves this to the resource editors' headers)
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// Commands
#define IDM_ABOUT 104
#define IDM_EXIT 105
#define ID_FIGURE_REMOVE 32771
#define ID_FIGURE_EDIT 32772
#define ID_HELP_MANUAL 32773
#define ID_FIGURE_SAVE 32774
#define ID_FIGURE_OPEN 32775
#define ID_GAME_RESTART 32777
#define ID_GAME_SAVE 32779
#define ID_GAME_OPEN 32780
#define ID_HELP_SITE 32783
#define ID_GAME_BACK 32784
#define ID_GAME_FORWARD 32785
#define ID_GAME_FIRST 32786
#define ID_GAME_LAST 32787
#define ID_SOLVER_SEARCH_ANEW 32788
#define ID_SOLVER_SEARCH 32789
#define ID_SOLVER_STOP 32790
#define ID_SOLVER_BEST_TO_GAME 32791
#define ID_SOLUTION_OPEN 32792
#define ID_SOLUTION_SAVE 32793
#define ID_HELP_PRODUCT 32794
