#ifndef MORVEXC_COMMANDS_H
#define MORVEXC_COMMANDS_H

#include "problem.h"

// The words after the command word, options taken out (GNU style: anywhere
// before "--").
struct Arguments {
    int force;
    int anyName;
    char* undo;
    char* operands[4];
    int count;
};

// Reads argv for `command` ("make", "show", "check", "apply") into *args.
// Returns -1 to go on, or the exit status after --help, --version or a misuse.
int ReadArguments(const char* command, int argc, char** argv, Arguments* args);

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

#endif
