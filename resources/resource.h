/* Control and command ids. The dialog templates in morvex.rc and the
   dispatch in the dialog procedures share these numbers. Dialogs and the
   accelerator table are named by strings: PATCH, COMMENT, ABOUT, MORVEX,
   and APPLY in morvex_apply.rc. */
#ifndef MORVEX_RESOURCE_H
#define MORVEX_RESOURCE_H

#ifndef IDC_STATIC
#define IDC_STATIC -1
#endif

/* Icons */
#define IDI_MORVEX           1

/* Main dialog */
#define IDC_ABOUT            1000
#define IDC_EXIT             1001
#define IDC_ORIGINAL_PATH    1002
#define IDC_MODIFIED_PATH    1003
#define IDC_BROWSE_ORIGINAL  1004
#define IDC_BROWSE_MODIFIED  1005
#define IDC_MAKE_PATCH       1007

/* Comment dialog */
#define IDC_COMMENT_TEXT     1013
#define IDC_COMMENT_OK       1014

/* Apply dialog (morvex-apply.exe) */
#define IDC_APPLY_PATCH_PATH   1101
#define IDC_APPLY_BROWSE_PATCH 1102
#define IDC_APPLY_FILE_PATH    1103
#define IDC_APPLY_BROWSE_FILE  1104
#define IDC_APPLY_INFO         1105
#define IDC_APPLY_KEEP_UNDO    1106
#define IDC_APPLY_APPLY        1107
#define IDC_APPLY_CANCEL       1108
#define IDC_APPLY_PROGRESS     1109

/* Commands: a system menu's own take a multiple of 16 */
#define IDM_APPLY_ABOUT        1120

#endif
