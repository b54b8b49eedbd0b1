// morvexc: makes, shows, checks and applies patches from the command line
// with the same engine as the dialog program.
#include "commands.h"
#include "platform.h"

#include <cstring>

struct Command {
    const char* word;
    int (*run)(int argc, char** argv);
};

static const Command Commands[] = {
    {"make", MakeCommand},
    {"show", ShowCommand},
    {"check", CheckCommand},
    {"apply", ApplyCommand},
    {"--help", HelpCommand},
    {"--version", VersionCommand},
};

int main(int argc, char** argv)
{
    RemoveTempsOnInterrupt();
    // A command word counts only in the first place; anything else makes a patch.
    for (const Command& command : Commands)
        if (argc > 1 && strcmp(argv[1], command.word) == 0)
            return command.run(argc - 2, argv + 2);
    return MakeCommand(argc - 1, argv + 1);
}
