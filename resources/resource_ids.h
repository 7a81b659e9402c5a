/* Ids of the dialog templates, the icon, the help text and the controls. The numbers are
   fixed: the templates in partwell.rc and the window code share them. */
#pragma once

/* Templates and other resources. */
#define IDD_MAIN 101
#define IDD_ABOUT 103
#define IDI_PARTWELL 103
#define IDD_SPLIT 111
#define IDD_JOIN 112
#define IDD_HELP 113
#define IDD_FIND_SILENCES 114
#define IDR_HELP_TEXT 116
#define IDD_TRACK_INFO 119

/* Main window. */
#define IDC_TABS 1044
#define IDC_QUIT 1027

/* Controls the Split and Join pages share by number. */
#define IDC_DESTINATION_NAME 1001 /* Split: name template; Join: destination file */
#define IDC_ADD 1005              /* Split: "Add Time"; Join: "Add..." */
#define IDC_LIST 1007             /* Split: track time list; Join: tracks to join */
#define IDC_STATUS 1015           /* the status line */
#define IDC_ACTION 1023           /* the action button: its caption is the job state */
#define IDC_REMOVE 1026
#define IDC_CLEAR 1027

/* Split page. */
#define IDC_SOURCE 1000
#define IDC_BROWSE 1002
#define IDC_FOLDER 1006
#define IDC_FIELD_INFO 1008
#define IDC_TIME 1009
#define IDC_BIT_RATE 1010
#define IDC_EQUAL_SEGMENTS 1014
#define IDC_CHOOSE_FOLDER 1018
#define IDC_GRAB_POSITION 1019
#define IDC_CUE_IMPORT 1020
#define IDC_CUE_EXPORT 1021
#define IDC_TRACK_NAMING 1028
#define IDC_EXACT_CUTS 1029
#define IDC_FIND_SILENCES 1030
#define IDC_TAG_TRACKS 1031
#define IDC_OVERVIEW 1037 /* "Overview..." */
#define IDC_CHAPTERS 1038 /* "Use Chapters": the source's chapters become the track list */

/* Join page. */
#define IDC_CHOOSE_DESTINATION 1003
#define IDC_MOVE 1040
#define IDC_ONE_CHAPTER_PER_FILE 1041
#define IDC_SMOOTH_JOINS 1042 /* "Smooth joins": no padding and delay between the sources */

/* Help and About pages. */
#define IDC_HELP_TEXT 1046
#define IDC_LINK 1052

/* Find Silences dialog. The two pause choices form a radio group, in this order. */
#define IDC_THRESHOLD 1032
#define IDC_PAUSE_MUSIC 1033
#define IDC_PAUSE_SPEECH 1034
#define IDC_MIN_PAUSE 1035
#define IDC_TRACK_COUNT 1036

/* The Overview window's controls (1100-1119). */
#define IDC_OVERVIEW_ADD_TIME 1100
#define IDC_OVERVIEW_PLAY 1101
#define IDC_OVERVIEW_PLAY_CUT 1102
#define IDC_OVERVIEW_POSITION 1103
#define IDC_OVERVIEW_SCROLL 1104
#define IDC_OVERVIEW_SAVE 1105   /* "Save Without Removed Parts..." */
#define IDC_OVERVIEW_SMOOTH 1106 /* "Smooth seams" */

/* Track Info dialog. */
#define IDC_ARTIST 1058
#define IDC_TITLE 1059

/* The About page's link. */
#define PARTWELL_URL "https://mp3partwell.invalid/"
