#ifndef MORVEX_WARNING_H
#define MORVEX_WARNING_H

// The engine's only way to the user. Each front end defines it: the dialog
// program shows `text` in a message box owned by `owner`, the console tool
// prints one line naming `path`, the tests record it. `path` is the file at
// fault as the caller spelled it (NULL when none is), `reason` the system's
// own words for the failure (NULL when the system gave none). The engine
// passes `owner` through untouched.
void ShowWarning(void* owner, const char* path, const char* text, const char* reason);

#endif
