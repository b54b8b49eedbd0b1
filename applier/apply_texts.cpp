// The applier's words, which the page shows too: the information box, a
// line for each thing, separated by CR LF, the questions and the result.
#include "apply_texts.h"

#include "patch_format.h"
#include "patch_text.h"
#include "path_name.h"
#include "target_name.h"

#include <cstdio>
#include <cstring>

// Appends to `out` (VERDICT_SIZE bytes) what fits.
static void Append(char* out, const char* text)
{
    size_t used = strlen(out);
    snprintf(out + used, VERDICT_SIZE - used, "%s", text);
}

static void AppendComment(char* out, const PatchContents& patch)
{
    if (patch.commentLength == 0)
        return Append(out, "(none)");
    size_t used = strlen(out);
    ShowPatchText(patch.comment, patch.commentLength, out + used, VERDICT_SIZE - used, patch.codePage);
}

static const char* Bytes(long long count)
{
    return count == 1 ? "byte" : "bytes";
}

void FitLine(const PatchContents& patch, const PatchFit& fit, char* out, size_t size)
{
    if (fit.state == FIT_PAST_END)
        snprintf(out, size, "Offset 0x%08X is past the end of this file (%lld %s).",
                 static_cast<unsigned>(patch.positions[patch.distinct - 1].offset), fit.fileSize, Bytes(fit.fileSize));
    else if (fit.state == FIT_APPLIED)
        snprintf(out, size, "Already applied: nothing to do.");
    else if (fit.state == FIT_PARTLY_APPLIED)
        snprintf(out, size, "Partly applied: %u of %u bytes already hold their new value.", fit.applied,
                 patch.distinct);
    else
        snprintf(out, size, "Not applied: %u %s will change.", patch.distinct, Bytes(patch.distinct));
}

void DescribeFit(const PatchContents* patch, const char* patchProblem, const char* filePath, const PatchFit* fit,
                 const char* fileProblem, char* out)
{
    char line[1024], target[SHOWN_NAME_SIZE], other[SHOWN_NAME_SIZE];
    out[0] = '\0';
    if (!patch) {
        snprintf(line, sizeof line, "Not a patch: %s", patchProblem);
        Append(out, line);
        return;
    }
    snprintf(line, sizeof line, "Target: %s\r\nRecords: %u\r\nComment: ",
             ShownName(patch->name, target, patch->codePage), patch->count);
    Append(out, line);
    AppendComment(out, *patch);
    if (!filePath || !filePath[0])
        return;
    if (!fit)
        snprintf(line, sizeof line, "%s", fileProblem);
    else
        FitLine(*patch, *fit, line, sizeof line);
    Append(out, "\r\n");
    Append(out, line);
    // An apply in place that was stopped: the next Apply finishes it first.
    if (fit && fit->journal == JOURNAL_INTERRUPTED) {
        snprintf(line, sizeof line, "\r\n%s: an apply of %s was interrupted; apply it again to finish it",
                 LastComponent(filePath), LastComponent(fit->journalPatch));
        Append(out, line);
    }
    TargetName fileName = DeriveTargetName(filePath, patch->codePage, NULL);
    if (strncmp(fileName.bytes, patch->name.bytes, TARGET_NAME_SIZE) != 0) {
        snprintf(line, sizeof line, "\r\nWarning: this patch is for %s; this file's name gives %s.", target,
                 ShownName(fileName, other, patch->codePage));
        Append(out, line);
    }
}

int NameQuestion(const PatchContents& patch, const char* filePath, char* out, size_t size)
{
    char target[SHOWN_NAME_SIZE], other[SHOWN_NAME_SIZE];
    TargetName fileName = DeriveTargetName(filePath, patch.codePage, NULL);
    if (strncmp(fileName.bytes, patch.name.bytes, TARGET_NAME_SIZE) == 0)
        return 0;
    snprintf(out, size, "This patch is for %s, but the file's name gives %s. Apply it anyway?",
             ShownName(patch.name, target, patch.codePage), ShownName(fileName, other, patch.codePage));
    return 1;
}

void PartlyQuestion(const PatchContents& patch, const PatchFit& fit, char* out, size_t size)
{
    snprintf(out, size, "%u of %u bytes already hold their new value. Apply the rest?", fit.applied, patch.distinct);
}

void ReplaceUndoQuestion(const char* undoPath, char* out, size_t size)
{
    snprintf(out, size, "Replace the existing undo patch %s?", LastComponent(undoPath));
}

void AppliedText(const char* filePath, const char* undoPath, char* out, size_t size)
{
    int length = snprintf(out, size, "Patch applied to %s.", LastComponent(filePath));
    if (undoPath && length >= 0 && static_cast<size_t>(length) < size)
        snprintf(out + length, size - length, "\r\nUndo patch: %s", LastComponent(undoPath));
}
