// Resource ids shared by the .rc files and the code.
#ifndef UPDATE_TOOL_RESOURCE_H
#define UPDATE_TOOL_RESOURCE_H

// Update dialog
#define IDD_UPDATE 101
#define IDC_MESSAGE 111
#define IDC_ACTION 112
#define IDC_EXIT 113

// Progress dialog
#define IDD_PROGRESS 102
#define IDC_PROGRESS_TEXT 114
#define IDC_PROGRESS_FRAME 115

// String table
#define IDS_TITLE 201
#define IDS_READY 202
#define IDS_NOT_FOUND 203
#define IDS_FAILED 204
#define IDS_DONE 205
#define IDS_TRANSFERRING 206
#define IDS_TRANSFER 207
#define IDS_EXIT 208
#define IDS_RETRY 209
#define IDS_PERCENT 210
#define IDS_SESSION_BLOCKED 211
#define IDS_PRINTER_BUSY 212
#define IDS_SEVERAL_PRINTERS 213
#define IDS_USAGE 214
#define IDS_CURRENT 215
#define IDS_NEWER 216
#define IDS_RESTARTING 217
#define IDS_DONE_CONFIRMED 218
#define IDS_UNCONFIRMED 219

// Program icon
#define IDI_APP 221

// Embedded firmware image, of the named resource type "FIRMWARE"
#define IDR_FIRMWARE 231

#endif
