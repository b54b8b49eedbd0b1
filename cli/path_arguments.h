#ifndef MORVEX_PATH_ARGUMENTS_H
#define MORVEX_PATH_ARGUMENTS_H

// Tells the checks below which argv main was given.
void KeepMainArguments(int argc, char** argv);

// Makes *argument, a path in main's argv, ready for use. On Windows the blanks and quotes
// a pasted path brings are taken away, and a name that reached the program
// only as a look-alike (a character outside the ANSI code page) is refused.
// Returns 0 after saying why on stderr.
int TakePathArgument(char** argument);

#endif
