#ifndef MORVEX_WARNING_H
#define MORVEX_WARNING_H

// How CheckSameSize and BuildPatch show their own message, as the dialog
// program expects of them: morvex.exe defines it as a message box owned by
// `owner`, the tests record it. Everything else in the engine reports a
// Problem to its caller instead.
void ShowWarning(void* owner, const char* text);

#endif
