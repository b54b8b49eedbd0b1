#include "commands.h"

#include "patch_apply.h"
#include "patch_builder.h"
#include "patch_format.h"
#include "path_arguments.h"

#include <cstdio>
#include <cstring>

static const char MakeUsage[] = "usage: morvexc ORIGINAL MODIFIED PATCH [COMMENT]\n";
static const char ShowUsage[] = "usage: morvexc show PATCH\n";
static const char CheckUsage[] = "usage: morvexc check PATCH FILE\n";
static const char ApplyUsage[] =
    "usage: morvexc apply [--force] [--any-name] [--undo UNDO_PATCH] PATCH FILE [OUTPUT]\n";

static int WrongArguments(const char* usage)
{
    fputs(usage, stderr);
    return 2;
}

// Readies `count` path arguments from argv[first] on (see path_arguments.h).
static int TakePaths(char** argv, int first, int count)
{
    for (int i = first; i < first + count; i++)
        if (argv[i] && !TakePathArgument(&argv[i]))
            return 0;
    return 1;
}

int MakeCommand(int argc, char** argv)
{
    if (argc < 3 || argc > 4)
        return WrongArguments(MakeUsage);
    if (!TakePaths(argv, 0, 3))
        return 1;
    // The engine cuts the comment to 255 bytes, as the comment dialog does.
    const char* comment = argc == 4 ? argv[3] : "";
    if (!CheckSameSize(NULL, argv[0], argv[1]))
        return 1;
    if (!BuildPatch(NULL, argv[0], argv[1], argv[2], comment)) {
        fputs("Error writing patch!\n", stderr);
        return 1;
    }
    puts("Patch Complete!");
    return 0;
}

// Control bytes would break the one-line layout, so they show as \xHH.
static void PrintEscaped(const unsigned char* text, size_t length)
{
    for (size_t i = 0; i < length; i++) {
        if (text[i] < 0x20 || text[i] == 0x7F || text[i] == '\\')
            printf("\\x%02X", text[i]);
        else
            putchar(text[i]);
    }
}

int ShowCommand(int argc, char** argv)
{
    if (argc != 1)
        return WrongArguments(ShowUsage);
    if (!TakePaths(argv, 0, 1))
        return 1;
    PatchContents patch;
    if (!LoadPatch(NULL, argv[0], &patch))
        return 1;
    printf("target: %s\nrecords: %u\ncomment: ", patch.name.bytes, patch.count);
    PrintEscaped(patch.comment, patch.commentLength);
    putchar('\n');
    if (patch.commentLength > MAX_COMMENT_LENGTH)
        printf("note: the comment is %u bytes, longer than the %d bytes Morvex writes\n",
               static_cast<unsigned>(patch.commentLength), MAX_COMMENT_LENGTH);
    for (unsigned i = 0; i < patch.count; i++)
        printf("%08X %02X\n", static_cast<unsigned>(patch.records[i].offset), patch.records[i].value);
    return 0;
}

int CheckCommand(int argc, char** argv)
{
    if (argc != 2)
        return WrongArguments(CheckUsage);
    if (!TakePaths(argv, 0, 2))
        return 1;
    PatchContents patch;
    PatchFit fit;
    if (!CheckPatch(NULL, argv[0], argv[1], 0, 0, &patch, &fit))
        return 1;
    puts(fit.state == FIT_APPLIED ? "already applied" : "not applied");
    printf("%u of %u records hold their new value; target %s; file %lld bytes\n", fit.applied,
           patch.distinct, patch.name.bytes, fit.fileSize);
    return 0;
}

int ApplyCommand(int argc, char** argv)
{
    int force = 0, anyName = 0, undoAt = 0;
    int at = 0;
    for (; at < argc && strncmp(argv[at], "--", 2) == 0; at++) {
        if (strcmp(argv[at], "--force") == 0)
            force = 1;
        else if (strcmp(argv[at], "--any-name") == 0)
            anyName = 1;
        else if (strcmp(argv[at], "--undo") == 0 && at + 1 < argc)
            undoAt = ++at;
        else if (strcmp(argv[at], "--") == 0) {
            at++;
            break;
        } else
            return WrongArguments(ApplyUsage);
    }
    if (argc - at < 2 || argc - at > 3)
        return WrongArguments(ApplyUsage);
    if ((undoAt && !TakePaths(argv, undoAt, 1)) || !TakePaths(argv, at, argc - at))
        return 1;
    const char* undoPath = undoAt ? argv[undoAt] : NULL;
    const char* patchPath = argv[at];
    const char* filePath = argv[at + 1];
    const char* outputPath = argc - at == 3 ? argv[at + 2] : NULL;

    PatchFit fit;
    if (!ApplyPatch(NULL, patchPath, filePath, outputPath, undoPath, anyName, force, &fit))
        return 1;
    if (fit.state == FIT_APPLIED && outputPath)
        printf("already applied: %s copied to %s\n", filePath, outputPath);
    else if (fit.state == FIT_APPLIED)
        printf("already applied: %s not rewritten\n", filePath);
    else
        printf("applied: %s written\n", outputPath ? outputPath : filePath);
    if (undoPath && fit.state != FIT_APPLIED)
        printf("undo patch: %s\n", undoPath);
    return 0;
}

int HelpCommand(int, char**)
{
    printf("%s", MakeUsage);
    printf("       morvexc make ORIGINAL MODIFIED PATCH [COMMENT]\n"
           "       morvexc show PATCH\n"
           "       morvexc check PATCH FILE\n"
           "       morvexc apply [--force] [--any-name] [--undo UNDO_PATCH] PATCH FILE [OUTPUT]\n"
           "       morvexc --help | --version\n");
    return 0;
}

int VersionCommand(int, char**)
{
    puts("morvexc " MORVEX_VERSION);
    return 0;
}
