#include "app_state.h"

const char ProgramName[] = "Morvex";
HINSTANCE InstanceHandle;
char OriginalPath[TEXT_BUFFER_SIZE];
char ModifiedPath[TEXT_BUFFER_SIZE];
char PatchPath[TEXT_BUFFER_SIZE];
char CommentText[TEXT_BUFFER_SIZE];
HWND OpenSubDialog;
