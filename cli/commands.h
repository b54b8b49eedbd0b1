#ifndef MORVEXC_COMMANDS_H
#define MORVEXC_COMMANDS_H

#include "problem.h"

// A word of the command line, or the part of it after an option's '=': its
// text, and where that lies on the command line (the word's index in main's
// argv, and how many characters go before the text), so that Windows can
// take it again from the wide command line.
struct Word {
    char* text;
    int index;
    int skip;
};

// The words after the command word, options taken out (GNU style: anywhere
// before "--").
struct Arguments {
    unsigned codePage; // --code-page; 0 for the default
    int force;
    int anyName;
    Word undo;
    Word operands[4];
    int count;
};

// A command word, what it runs, how many operands it takes and whether it
// takes apply's options (--force, --any-name, --undo).
struct Command {
    const char* word;
    int (*run)(Arguments* args);
    int least, most;
    int applyOptions;
};

// Reads argv for `command` into *args; argv[0] is main's argv[first].
// Returns -1 to go on, or the exit status after --help, --version or a misuse.
int ReadArguments(const Command& command, int argc, char** argv, int first, Arguments* args);

// One function per command. Each returns the exit status: 0 done, 1 refused or failed.
int MakeCommand(Arguments* args);
int ShowCommand(Arguments* args);
int CheckCommand(Arguments* args);
int ApplyCommand(Arguments* args);

// Prints the problem as one line on stderr, "morvexc: NAME: WHAT: REASON",
// NAME and REASON where there are any. Returns 1, the exit status of a refusal.
int Report(const Problem& problem);

// The same for a file and our own words, with no reason.
int ReportFile(const char* path, const char* what);

// "morvexc: Not a patch: PATH is not a patch file: WHAT", as the applier says it. Returns 1.
int ReportNotAPatch(const Problem& problem);

// Says that `path` was patched though the report of it could not be
// written, with `error` from FlushStdout; WriteErrorSaid() tells it was said.
void ReportUnreported(const char* path, int error);
int WriteErrorSaid();

#endif
