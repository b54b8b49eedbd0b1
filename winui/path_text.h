#ifndef MORVEX_PATH_TEXT_H
#define MORVEX_PATH_TEXT_H

// Takes away the blanks around a typed or pasted Windows path and one pair of
// double quotes around it, as Explorer's "Copy as path" adds them. A quote
// cannot be part of a Windows file name, so nothing of a real name is lost.
void TrimPastedPath(char* path);

#endif
