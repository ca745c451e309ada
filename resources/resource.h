// Resource ids shared by the resource script and the code.
//
// The numbers are fixed: settings, tooltips and the command-state code look
// resources up by these values, so never renumber one. Control-bar ids
// (AFX_IDW_TOOLBAR, AFX_IDW_STATUS_BAR, AFX_IDW_REBAR) come from the framework.
#pragma once

// ---- Icons ------------------------------------------------------------------
// Window icon, also the small icon of every secondary window.
#define IDR_MAINFRAME 128

// Main toolbar images, in image-list order (image 0 .. 10). Button 3 (Format)
// shows image 3, 9 or 10 for MP3, WAV or OGG.
#define IDI_TB_REFRESH 277     // image 0: Refresh Disc
#define IDI_TB_VIEWLOG 278     // image 1: ViewLog
#define IDI_TB_EDITCD 354      // image 2: Edit CD Info
#define IDI_TB_FORMAT_MP3 292  // image 3: Format (MP3)
#define IDI_TB_RIP 420         // image 4: Rip
#define IDI_TB_OPTIONS 282     // image 5: Options
#define IDI_TB_DOWNLOAD 320    // image 6: Download
#define IDI_TB_HELP 351        // image 7: Help Contents
#define IDI_TB_ABOUT 321       // image 8: About
#define IDI_TB_FORMAT_WAV 294  // image 9: Format (WAV)
#define IDI_TB_FORMAT_OGG 449  // image 10: Format (OGG)

// Player toolbar images, in image-list order (image i is button i).
#define IDI_PLAYER_PREVIOUS 174  // image 0
#define IDI_PLAYER_PLAY 173      // image 1
#define IDI_PLAYER_PAUSE 172     // image 2: Pause/Resume
#define IDI_PLAYER_STOP 170      // image 3
#define IDI_PLAYER_NEXT 171      // image 4
#define IDI_PLAYER_EJECT 177     // image 5: Eject Tray

// Tip of the Day picture.
#define IDI_TIP 440

// ---- Dialogs ----------------------------------------------------------------
#define IDD_ABOUTBOX 100        // About box, modal
#define IDD_CORVANE_DIALOG 102  // main window (menu 129)
#define IDD_LOG 130             // event log window, modeless

// ---- Menus and accelerators ---------------------------------------------------
#define IDR_MAINMENU 129        // menu bar of the main window
#define IDR_TRACKLIST_MENU 270  // track-list context menu, first pop-up
#define IDR_FORMAT_MENU 289     // Format button drop-down, first pop-up
#define IDR_ACCELERATOR 325     // main window keys

// ---- Strings ----------------------------------------------------------------
// System-menu About text: deliberately absent from the string table, so the
// main window appends no About item to its system menu.
#define IDS_ABOUTBOX 101
// Tip of the Day: heading, missing tips file, unreadable tips file.
#define IDS_TIP_DIDYOUKNOW 106
#define IDS_TIP_FILE_ABSENT 107
#define IDS_TIP_FILE_CORRUPT 108
// Status bar pane indicators (each a single blank).
#define IDS_INDICATOR_EVENT 110   // pane 0: last event
#define IDS_INDICATOR_DISC 111    // pane 1: disc media state
#define IDS_INDICATOR_FORMAT 112  // pane 2: output format
// Every command id below and the drive combo and position slider ids also
// name a string: the tooltip text (at most 79 characters, one line).

// ---- Main window controls (dialog 102) --------------------------------------
#define IDC_COMBO_DRIVE 1000      // drive combo, sorted drop-down list
#define IDC_LIST_TRACKS 1009      // track list, report view with check boxes
#define IDC_SLIDER_POSITION 1050  // playback position, range 0..1000
#define IDC_SLIDER_VOLUME 1051    // volume, range 0..100
#define IDC_GROUP_DRIVES 1075     // "Drive(s)" group box
#define IDC_GROUP_PLAYER 1076     // "CD Player" group box
#define IDC_STATIC_TIME 1248      // elapsed time "00:00"

// ---- Log window controls (dialog 130) ---------------------------------------
#define IDC_LOG_OK 1011     // hides the window
#define IDC_LOG_CLEAR 1012  // empties the log
#define IDC_LIST_LOG 1014   // event rows

// ---- Match chooser (dialog 134, modal) ----------------------------------------
#define IDD_FREEDB_CHOICE 134
#define IDC_LIST_MATCHES 1031       // one row per match, single selection
#define IDC_LIST_MATCH_TRACKS 1032  // track titles of the highlighted match

// ---- About box (dialog 100) ---------------------------------------------------
#define IDC_ABOUT_HOMEPAGE 1141  // homepage link
#define IDC_ABOUT_SUPPORT 1142   // support mail link

// ---- Tip of the Day (dialog 347, modal) ---------------------------------------
#define IDD_TIP 347
#define IDC_TIP_FRAME 1075    // the painted area
#define IDC_TIP_BULB 1149     // picture IDI_TIP
#define IDC_TIPSTRING 1150    // hidden; its rectangle is the tip's text area
#define IDC_TIP_STARTUP 1151  // "Show tips on startup"
#define IDC_TIP_NEXT 1152     // "Next tip"

// ---- Rip job window (dialog 138, modal) -------------------------------------
#define IDD_RIPPING_PROGRESS 138

#define IDC_RIP_TRACK_GROUP 1075  // "Track Progress"
#define IDC_RIP_JOB_GROUP 1076    // "Overall Progress"
#define IDC_RIP_TRACK_PROGRESS 1056
#define IDC_RIP_JOB_PROGRESS 1054
#define IDC_RIP_TRACK_PERCENT 1053
#define IDC_RIP_JOB_PERCENT 1052
#define IDC_RIP_TRACK_ELAPSED 1251
#define IDC_RIP_TRACK_LEFT 1252
#define IDC_RIP_JOB_ELAPSED 1249
#define IDC_RIP_JOB_LEFT 1250
#define IDC_RIP_TRACK_SPEED 1058
#define IDC_RIP_JOB_SPEED 1062
#define IDC_RIP_STATUS 1061  // destination line
#define IDC_RIP_TRACK_DONE_LABEL 1077
#define IDC_RIP_JOB_DONE_LABEL 1253
#define IDC_RIP_TRACK_ELAPSED_LABEL 1060
#define IDC_RIP_JOB_ELAPSED_LABEL 1064
#define IDC_RIP_TRACK_LEFT_LABEL 1059
#define IDC_RIP_JOB_LEFT_LABEL 1063
#define IDC_RIP_TRACK_SPEED_LABEL 1254
#define IDC_RIP_JOB_SPEED_LABEL 1255
#define IDC_RIP_PAUSE 1206  // pause / resume / open the output folder
#define IDC_RIP_LOG 1207    // shows the event log

// ---- Edit CD Info dialog (dialog 358, modal) --------------------------------
#define IDD_EDIT_CD 358

#define IDC_EDITCD_GROUP 1075    // "CDDB Info"
#define IDC_EDITCD_ALBUM 1156    // album title
#define IDC_EDITCD_ARTIST 1157   // artist, disabled while Various Artists is checked
#define IDC_EDITCD_YEAR 1159     // year, digits only
#define IDC_EDITCD_VARIOUS 1160  // "Various Artists" check box
#define IDC_EDITCD_OK 1161       // applies the edits and closes
#define IDC_EDITCD_SAVE 1162     // applies the edits and writes the cache file
#define IDC_EDITCD_GENRE 1258    // genre, editable sorted drop-down with type-ahead

// ---- Options sheet pages (property pages, captions from the templates) --------
#define IDD_OPTIONS_FREEDB 132   // "FreeDB", sheet page 0
#define IDD_OPTIONS_OUTPUT 106   // "Output", sheet page 1
#define IDD_OPTIONS_ENCODER 432  // "Encoder", sheet page 2

// FreeDB page
#define IDC_FREEDB_SOURCE_GROUP 1076  // "FreeDB Source"
#define IDC_FREEDB_BOTH 1025          // first radio of the source group (source 0)
#define IDC_FREEDB_REMOTE 1026        // source 1
#define IDC_FREEDB_LOCAL 1027         // source 2
#define IDC_FREEDB_SAVE 1028
#define IDC_FREEDB_LOAD 1041  // enables the source radios
#define IDC_FREEDB_FOLDER 1042
#define IDC_FREEDB_BROWSE 1043

// Output page
#define IDC_OUTPUT_FOLDER 1057
#define IDC_OUTPUT_BROWSE 1058
#define IDC_OUTPUT_STYLE 1059
#define IDC_OUTPUT_METADATA 1061
#define IDC_OUTPUT_PREVIEW 1062
#define IDC_OUTPUT_WRITE_LOG 1063
#define IDC_OUTPUT_PLAYLIST 1066
#define IDC_OUTPUT_RESET 1129
#define IDC_OUTPUT_DELIMITER 1130  // at most 3 characters

// Encoder page: one format list and three parameter lists with their labels
#define IDC_ENCODER_FORMAT 1056
#define IDC_ENCODER_LABEL1 1075
#define IDC_ENCODER_LABEL2 1076
#define IDC_ENCODER_LABEL3 1077
#define IDC_ENCODER_LIST1 1079
#define IDC_ENCODER_LIST2 1080
#define IDC_ENCODER_LIST3 1081
#define IDC_ENCODER_NOTE 1253  // MP3 only

// ---- Commands -----------------------------------------------------------------
#define IDM_ABOUTBOX 16  // system-menu About item (only when IDS_ABOUTBOX exists)

// Drive(s) pop-up: one item per drive, 101 + drive index.
#define ID_DRIVE_FIRST 101
#define ID_DRIVE_LAST 110

// Format: main toolbar button 3 and, until start-up deletes it, File pop-up item 3.
#define ID_FORMAT 1139

// File
#define ID_EXIT 32773
#define ID_NO_DRIVE 32774  // placeholder item of the Drive(s) pop-up
#define ID_VIEWLOG 32775

// Edit
#define ID_CHECK_ALL 32781
#define ID_UNCHECK_ALL 32782
#define ID_REVERSE_CHECK 32783
#define ID_EDIT_CD_INFO 32837

// Play
#define ID_PREVIOUS_TRACK 32784
#define ID_PLAY 32785
#define ID_PAUSE_RESUME 32786
#define ID_STOP 32787
#define ID_NEXT_TRACK 32788
#define ID_EJECT_TRAY 32789
#define ID_CLOSE_TRAY 32790
#define ID_REFRESH_DISC 32791
#define ID_FIRST_TRACK 32794
#define ID_LAST_TRACK 32795
#define ID_PLAY_CURRENT 32801  // track-list context menu

// Operation
#define ID_RIP_CURRENT 32796  // track-list context menu and Ctrl+F2
#define ID_RIP 32797
#define ID_OPTIONS 32800

// Format drop-down (menu 289)
#define ID_FORMAT_WAV 32811
#define ID_FORMAT_MP3 32812
#define ID_FORMAT_OGG 32814
#define ID_MORE_FORMATS 32907

// Help
#define ID_HELP_CONTENTS 32821
#define ID_DOWNLOAD 32822
#define ID_TIP_OF_THE_DAY 32827
#define ID_ABOUT 32828
#define ID_EMAIL_SUPPORT 32829
#define ID_ONLINE_SUPPORT 32830
