#include "commands.h"

#include <cstdio>
#include <cstring>

static const char Help[] =
    "usage: morvexc [make] ORIGINAL MODIFIED PATCH [COMMENT]\n"
    "       morvexc show PATCH\n"
    "       morvexc check PATCH FILE\n"
    "       morvexc apply [--force] [--any-name] [--undo UNDO_PATCH] PATCH FILE [OUTPUT]\n"
    "       morvexc -h | --help | -V | --version\n"
    "Options may come anywhere before '--'; everything after '--' is an operand,\n"
    "so a COMMENT that begins with '-' needs '--' before it.\n";

static int Misuse(const char* problem, const char* word)
{
    fprintf(stderr, "morvexc: %s", problem);
    if (word) {
        fputs(" '", stderr);
        for (const unsigned char* at = reinterpret_cast<const unsigned char*>(word); *at; at++) {
            if (*at < 0x20 || *at == 0x7F)
                fprintf(stderr, "\\x%02X", *at);
            else
                fputc(*at, stderr);
        }
        fputc('\'', stderr);
    }
    fputs("\nTry 'morvexc --help'.\n", stderr);
    return 2;
}

static int IsHelp(const char* word)
{
#ifdef _WIN32
    if (strcmp(word, "/?") == 0)
        return 1;
#endif
    return strcmp(word, "-h") == 0 || strcmp(word, "--help") == 0;
}

int ReadArguments(const char* command, int argc, char** argv, Arguments* args)
{
    memset(args, 0, sizeof *args);
    int apply = strcmp(command, "apply") == 0;
    int least = 3, most = 4;
    if (strcmp(command, "show") == 0)
        least = most = 1;
    else if (strcmp(command, "check") == 0)
        least = most = 2;
    else if (apply)
        least = 2, most = 3;

    int options = 1;
    const char* extra = NULL;
    for (int i = 0; i < argc; i++) {
        char* word = argv[i];
        if (options && strcmp(word, "--") == 0) {
            options = 0;
        } else if (options && IsHelp(word)) {
            fputs(Help, stdout);
            return 0;
        } else if (options && (strcmp(word, "-V") == 0 || strcmp(word, "--version") == 0)) {
            puts("morvexc " MORVEX_VERSION);
            return 0;
        } else if (options && word[0] == '-' && word[1] != '\0') {
            if (apply && strcmp(word, "--force") == 0)
                args->force = 1;
            else if (apply && strcmp(word, "--any-name") == 0)
                args->anyName = 1;
            else if (apply && strcmp(word, "--undo") == 0) {
                if (++i == argc)
                    return Misuse("option requires an argument", word);
                args->undo = argv[i];
            } else if (apply && strncmp(word, "--undo=", 7) == 0 && word[7])
                args->undo = word + 7;
            else
                return Misuse("unknown option", word);
        } else if (args->count < most) {
            args->operands[args->count++] = word;
        } else if (!extra) {
            extra = word;
        }
    }
    if (extra)
        return Misuse("extra operand", extra);
    if (args->count < least)
        return Misuse("missing operand", NULL);
    return -1;
}
