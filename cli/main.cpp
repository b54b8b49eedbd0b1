// morvexc: makes, shows, checks and applies patches from the command line
// with the same engine as the dialog program.
#include "commands.h"
#include "output.h"
#include "platform.h"

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstring>

static const Command Commands[] = {
    {"make", MakeCommand, 3, 4, 0},
    {"show", ShowCommand, 1, 1, 0},
    {"check", CheckCommand, 2, 2, 0},
    {"apply", ApplyCommand, 2, 3, 1},
};

static int Run(int argc, char** argv)
{
    // A command word counts only in the first place; anything else makes a patch.
    const Command* command = &Commands[0];
    int skip = 1;
    for (const Command& each : Commands)
        if (argc > 1 && strcmp(argv[1], each.word) == 0)
            command = &each, skip = 2;
    Arguments args;
    int status = ReadArguments(*command, argc - skip, argv + skip, skip, &args);
    return status >= 0 ? status : command->run(&args);
}

int main(int argc, char** argv)
{
    RemoveTempsOnInterrupt();
    // Names and comments are read and shown in the locale's character set.
    setlocale(LC_CTYPE, "");
    int status = Run(argc, argv);
    // Output that never reached its file is a failure, as in coreutils.
    int error = FlushStdout();
    if (error && !WriteErrorSaid())
        PrintText(stderr, "morvexc: write error%s%s\n", error > 0 ? ": " : "", error > 0 ? strerror(error) : "");
    return error ? 1 : status;
}
