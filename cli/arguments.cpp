#include "commands.h"

#include "output.h"
#include "patch_text.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

static const char Help[] =
    "usage: morvexc [make] [--code-page N] ORIGINAL MODIFIED PATCH [COMMENT]\n"
    "       morvexc show [--code-page N] PATCH\n"
    "       morvexc check [--code-page N] PATCH FILE\n"
    "       morvexc apply [--code-page N] [--force] [--any-name] [--undo UNDO_PATCH] PATCH FILE [OUTPUT]\n"
    "       morvexc -h | --help | -V | --version\n"
    "Options may come anywhere before '--'; everything after '--' is an operand,\n"
    "so a COMMENT that begins with '-' needs '--' before it.\n"
    "--code-page N names the Windows code page of the patch's target name and\n"
    "comment; the default is "
#ifdef _WIN32
    "the user's ANSI code page where it is one of these, else 1252:\n";
#else
    "1252. N is one of:\n";
#endif

static void PrintHelp()
{
    PutText(stdout, Help);
    for (size_t i = 0; i < CodePageCount(); i++)
        PrintText(stdout, "  %s\n", CodePageAt(i).name);
}

static int Misuse(const char* problem, const char* word)
{
    static char line[LINE_SIZE];
    snprintf(line, sizeof line, "morvexc: %s", problem);
    if (word) {
        AppendEscaped(line, " '", false);
        AppendEscaped(line, word, false);
        AppendEscaped(line, "'", false);
    }
    PrintText(stderr, "%s\nTry 'morvexc --help'.\n", line);
    return 2;
}

// Takes the code page a --code-page option names.
static int TakeCodePage(const char* value, Arguments* args)
{
    char* end = NULL;
    unsigned long codePage = value[0] >= '1' && value[0] <= '9' ? strtoul(value, &end, 10) : 0;
    if (!end || *end || codePage > 65535 || !KnownCodePage(static_cast<unsigned>(codePage)))
        return Misuse("unknown code page", value);
    args->codePage = static_cast<unsigned>(codePage);
    return -1;
}

static int IsHelp(const char* word)
{
#ifdef _WIN32
    if (strcmp(word, "/?") == 0)
        return 1;
#endif
    return strcmp(word, "-h") == 0 || strcmp(word, "--help") == 0;
}

int ReadArguments(const Command& command, int argc, char** argv, int first, Arguments* args)
{
    memset(args, 0, sizeof *args);
    int apply = command.applyOptions;

    int options = 1;
    const char* extra = NULL;
    for (int i = 0; i < argc; i++) {
        char* word = argv[i];
        if (options && strcmp(word, "--") == 0) {
            options = 0;
        } else if (options && IsHelp(word)) {
            PrintHelp();
            return 0;
        } else if (options && (strcmp(word, "-V") == 0 || strcmp(word, "--version") == 0)) {
            PutText(stdout, "morvexc " MORVEX_VERSION "\n");
            return 0;
        } else if (options && word[0] == '-' && word[1] != '\0') {
            int status = -1;
            if (strcmp(word, "--code-page") == 0) {
                if (++i == argc)
                    return Misuse("option requires an argument", word);
                status = TakeCodePage(argv[i], args);
            } else if (strncmp(word, "--code-page=", 12) == 0)
                status = TakeCodePage(word + 12, args);
            else if (apply && strcmp(word, "--force") == 0)
                args->force = 1;
            else if (apply && strcmp(word, "--any-name") == 0)
                args->anyName = 1;
            else if (apply && strcmp(word, "--undo") == 0) {
                if (++i == argc)
                    return Misuse("option requires an argument", word);
                args->undo = {argv[i], first + i, 0};
            } else if (apply && strncmp(word, "--undo=", 7) == 0 && word[7])
                args->undo = {word + 7, first + i, 7};
            else
                return Misuse("unknown option", word);
            if (status >= 0)
                return status;
        } else if (args->count < command.most) {
            args->operands[args->count++] = {word, first + i, 0};
        } else if (!extra) {
            extra = word;
        }
    }
    if (extra)
        return Misuse("extra operand", extra);
    if (args->count < command.least)
        return Misuse("missing operand", NULL);
    return -1;
}
