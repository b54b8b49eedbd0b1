#ifndef MORVEXC_COMMANDS_H
#define MORVEXC_COMMANDS_H

// One function per command word. Each takes the arguments after the word
// and returns the exit status: 0 done, 1 refused or failed, 2 wrong arguments.
int MakeCommand(int argc, char** argv);
int ShowCommand(int argc, char** argv);
int CheckCommand(int argc, char** argv);
int ApplyCommand(int argc, char** argv);
int HelpCommand(int argc, char** argv);
int VersionCommand(int argc, char** argv);

#endif
