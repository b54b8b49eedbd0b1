#ifndef MORVEX_WARNING_H
#define MORVEX_WARNING_H

// The engine's only way to the user. Each front end defines it: the dialog
// program shows a message box owned by `owner`, the console tool prints the
// text, the tests record it. The engine passes `owner` through untouched.
void ShowWarning(void* owner, const char* text);

#endif
