// Identifiers of the program's resources (Setup.rc); the resource compiler
// reads this file too, so it holds nothing but #define lines.
#pragma once

#define IDI_SETUP 1
#define IDI_FOLDER 101
#define IDI_INSTALL 102
#define IDI_CANCEL 103
#define IDI_INFO_PROJECT 104
#define IDI_INFO_SETUP 105
#define IDI_OK 106

// The string table (the texts a language file may replace).
#define IDS_COPY_HEADLINE 65200
#define IDS_FAILED 65201
#define IDS_CANCELLED 65202
#define IDS_UNCHANGED 65203
#define IDS_UPDATED 65204
#define IDS_FILE_SINGULAR 65205
#define IDS_FILE_PLURAL 65206
#define IDS_SUPERFLUOUS 65207
#define IDS_NEW_FOLDER_ITEM 65227
#define IDS_NEW_FOLDER_NAME 65228
#define IDS_TARGET_FOLDER_CAPTION 65230
#define IDS_SUCCESS 65231
