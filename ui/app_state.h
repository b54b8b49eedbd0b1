#ifndef MORVEX_APP_STATE_H
#define MORVEX_APP_STATE_H

#include "win_shared.h"

// State shared by every command for the whole run. The buffers start empty
// and keep their text from one command to the next.

extern HINSTANCE InstanceHandle;
extern char OriginalPath[TEXT_BUFFER_SIZE];
extern char ModifiedPath[TEXT_BUFFER_SIZE];
extern char PatchPath[TEXT_BUFFER_SIZE];
extern char CommentText[TEXT_BUFFER_SIZE];

// The comment dialog or About box while one is open. Neither has an owner,
// so the main dialog stays enabled and has to refuse commands meanwhile.
extern HWND OpenSubDialog;

#endif
