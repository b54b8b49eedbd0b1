#ifndef MORVEX_PATH_ARGUMENTS_H
#define MORVEX_PATH_ARGUMENTS_H

struct Word;

// Makes a path on the command line ready for use. On Windows a name that
// reached main's argv only as a look-alike (a character outside the ANSI
// code page) is refused, and the blanks and quotes a pasted path brings are
// taken away. Returns 0 after saying why on stderr.
int TakePathArgument(Word* path);

#endif
