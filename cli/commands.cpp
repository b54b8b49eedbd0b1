#include "commands.h"

#include "output.h"
#include "patch_apply.h"
#include "make_messages.h"
#include "patch_builder.h"
#include "patch_format.h"
#include "patch_text.h"
#include "path_arguments.h"
#include "platform.h"

#include <cstdio>
#include <cstring>

// The patch a command reads: one per run.
static PatchSpace Space;

// Readies the first `count` operands as paths (see path_arguments.h).
static int TakePaths(Arguments* args, int count)
{
    for (int i = 0; i < count && i < args->count; i++)
        if (!TakePathArgument(&args->operands[i]))
            return 0;
    return 1;
}

int MakeCommand(Arguments* args)
{
    if (!TakePaths(args, 3))
        return 1;
    const Word* argv = args->operands;
    // The engine cuts the comment to 255 bytes, as the comment dialog does.
    const char* comment = args->count == 4 ? argv[3].text : "";
    Problem problem;
    int lost;
    // The sizes first, as the dialog checks them before it asks for a patch name.
    if (!CompareSizes(argv[0].text, argv[1].text, &problem)
        || !MakePatchFile(argv[0].text, argv[1].text, argv[2].text, comment, args->codePage, &lost, &problem))
        return Report(problem);
    // Made all the same, with '?' where the code page lacks a character.
    if (lost) {
        char warning[160];
        LostWarning(lost, args->codePage, warning, sizeof warning);
        PrintText(stderr, "morvexc: warning: %s\n", warning);
    }
    PrintText(stdout, "%s\n", PatchComplete);
    return 0;
}

// Text from a patch, shown as every front end shows it (see patch_text.h).
static void PrintPatchText(const unsigned char* patchText, size_t patchLength, unsigned codePage)
{
    static char shown[4 << 20];
    ShowPatchText(patchText, patchLength, shown, sizeof shown, codePage);
    PutText(stdout, shown);
}

int ShowCommand(Arguments* args)
{
    if (!TakePaths(args, 1))
        return 1;
    PatchContents patch;
    Problem problem;
    if (!LoadPatch(args->operands[0].text, args->codePage, &Space, &patch, &problem))
        return problem.kind == PROBLEM_NOT_A_PATCH ? ReportNotAPatch(problem) : Report(problem);
    PutText(stdout, "target: ");
    PrintPatchText(reinterpret_cast<const unsigned char*>(patch.name.bytes), strlen(patch.name.bytes), patch.codePage);
    PrintText(stdout, "\nrecords: %u", patch.count);
    if (patch.distinct != patch.count)
        PrintText(stdout, " (%u positions)", patch.distinct);
    PutText(stdout, "\ncomment: ");
    PrintPatchText(patch.comment, patch.commentLength, patch.codePage);
    PutText(stdout, "\n");
    if (patch.commentLength > MAX_COMMENT_LENGTH)
        PrintText(stdout, "note: the comment is %u bytes, longer than the %d bytes Morvex writes\n",
               static_cast<unsigned>(patch.commentLength), MAX_COMMENT_LENGTH);
    for (unsigned i = 0; i < patch.count; i++)
        PrintText(stdout, "%08X %02X\n", static_cast<unsigned>(patch.records[i].offset), patch.records[i].value);
    return 0;
}

// "FILE: WORDS PATCH END" on stdout, the paths escaped as everywhere.
static void JournalLine(const char* filePath, const char* words, const char* patchPath, const char* end)
{
    static char line[LINE_SIZE];
    line[0] = '\0';
    AppendPath(line, filePath);
    strcat(line, ": ");
    strcat(line, words);
    AppendPath(line, patchPath);
    strncat(line, end, LINE_SIZE - strlen(line) - 2);
    strcat(line, "\n");
    PutText(stdout, line);
}

int CheckCommand(Arguments* args)
{
    if (!TakePaths(args, 2))
        return 1;
    PatchContents patch;
    PatchFit fit;
    Problem problem;
    if (!CheckPatch(args->operands[0].text, args->operands[1].text, args->codePage, 0, 0, &Space, &patch, &fit,
                    &problem))
        return Report(problem);
    if (fit.journal == JOURNAL_INTERRUPTED)
        JournalLine(args->operands[1].text, "an apply of ", fit.journalPatch, " was interrupted; apply it again to finish it");
    PutText(stdout, fit.state == FIT_APPLIED ? "already applied\n" : "not applied\n");
    PrintText(stdout, "%u of %u positions hold their new value; target ", fit.applied, patch.distinct);
    PrintPatchText(reinterpret_cast<const unsigned char*>(patch.name.bytes), strlen(patch.name.bytes), patch.codePage);
    PrintText(stdout, "; file %lld bytes\n", fit.fileSize);
    return 0;
}

int ApplyCommand(Arguments* args)
{
    if ((args->undo.text && !TakePathArgument(&args->undo)) || !TakePaths(args, args->count))
        return 1;
    const Word* argv = args->operands;
    const char* undoPath = args->undo.text;
    const char* patchPath = argv[0].text;
    const char* filePath = argv[1].text;
    const char* outputPath = args->count == 3 ? argv[2].text : NULL;
    int anyName = args->anyName, force = args->force;

    PatchFit fit;
    Problem problem;
    int applied = ApplyPatch(patchPath, filePath, outputPath, undoPath, args->codePage, anyName, force, NULL, &fit, &problem);
    if (fit.journal == JOURNAL_FINISHED)
        JournalLine(filePath, "an interrupted apply of ", fit.journalPatch, " was finished");
    if (fit.unlocked)
        ReportFile(filePath, "the system gives no lock here: a second apply at once is not kept out");
    if (!applied)
        return Report(problem);
    // Paths are shown escaped, as in a refusal: a name can hold anything.
    static char line[LINE_SIZE];
    strcpy(line, fit.state == FIT_APPLIED ? "already applied: " : "applied: ");
    AppendPath(line, fit.state == FIT_APPLIED || !outputPath ? filePath : outputPath);
    if (fit.state == FIT_APPLIED && outputPath) {
        strcat(line, " copied to ");
        AppendPath(line, outputPath);
    }
    strcat(line, fit.state != FIT_APPLIED ? " written" : outputPath ? "" : " not rewritten");
    if (undoPath && fit.state != FIT_APPLIED) {
        strcat(line, "\nundo patch: ");
        AppendPath(line, undoPath);
    }
    strcat(line, "\n");
    PutText(stdout, line);
    // A script that gets no report is still told that the file changed.
    int unreported = FlushStdout();
    if (unreported && fit.state != FIT_APPLIED)
        ReportUnreported(outputPath ? outputPath : filePath, unreported);
    // The file got a new inode; its other hard links still hold the old bytes.
    if (fit.otherNames > 0) {
        char note[64];
        snprintf(note, sizeof note, "%ld other name%s the old contents", fit.otherNames,
                 fit.otherNames == 1 ? " keeps" : "s keep");
        ReportFile(outputPath ? outputPath : filePath, note);
    }
    if (fit.lostPrivileges)
        ReportFile(filePath, "the system took its setuid or setgid bits or file capabilities as it was written");
    // Applied all the same: the note says what was left behind.
    if (fit.noted)
        Report(problem);
    return unreported ? 1 : 0;
}
