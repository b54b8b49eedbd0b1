// The engine's calls for the page's worker: the worker reads the files in
// slices into the buffers here and gets back the patch, the verdict and the
// texts, as the Windows programs show them.
#include "make_messages.h"
#include "patch_compare.h"
#include "patch_format.h"
#include "patch_reader.h"
#include "patch_text.h"
#include "patch_verdict.h"
#include "target_name.h"

#include <emscripten.h>

#include <cstdio>
#include <cstring>

#define WEB_CALL extern "C" EMSCRIPTEN_KEEPALIVE

enum { SLICE_SIZE = 4 << 20, TEXT_SIZE = 1024 };

static const char ErrorNoOriginal[] = "You must select the unmodified file first!";
static const char ErrorNoModified[] = "You must select the modified file first!";
static const double MaxInputSize = 2147483647.0;

static unsigned char Slices[2][SLICE_SIZE];
static PatchRecord Records[MAX_PATCH_RECORDS];
static unsigned RecordCount;
static unsigned char Output[MAX_PATCH_SIZE];
static unsigned char PatchFile[MAX_READ_PATCH_SIZE];
static unsigned char Old[MAX_PATCH_RECORDS];
static PatchContents Patch;
static PatchFit Fit;
static char Verdict[VERDICT_SIZE];
static char Text[TEXT_SIZE];

WEB_CALL unsigned char* WebSlice(int which) { return Slices[which]; }
WEB_CALL unsigned WebSliceSize() { return SLICE_SIZE; }
WEB_CALL unsigned char* WebOutput() { return Output; }
WEB_CALL unsigned char* WebPatchFile() { return PatchFile; }
WEB_CALL unsigned char* WebOldBytes() { return Old; }
WEB_CALL const char* WebVerdict() { return Verdict; }

// The refusal before any byte is read, or NULL; a size below 0 is a file
// not chosen.
WEB_CALL const char* WebSizeProblem(double originalSize, double modifiedSize)
{
    RecordCount = 0;
    if (originalSize < 0)
        return ErrorNoOriginal;
    if (modifiedSize < 0)
        return ErrorNoModified;
    if (originalSize != modifiedSize)
        return ErrorSizesDiffer;
    return originalSize > MaxInputSize ? ErrorTooLarge : NULL;
}

// Why a slice of the original (0) or the modified file (1) could not be
// read; a slice shorter than asked for is a file that changed its size.
WEB_CALL const char* WebReadProblem(int which, int shorter)
{
    if (shorter)
        return ErrorSizesDiffer;
    return which == 0 ? ErrorReadingOriginal : ErrorReadingModified;
}

// Compares the two slices of `length` bytes found at `offset` in the files.
WEB_CALL const char* WebCompare(unsigned length, double offset)
{
    if (!CompareBlocks(Slices[0], Slices[1], length, static_cast<long long>(offset), Records, &RecordCount))
        return ErrorTooManyDifferences;
    return NULL;
}

// The code pages the page offers, in the engine's order: their number and the
// name shown for each.
WEB_CALL unsigned WebCodePageCount() { return static_cast<unsigned>(CodePageCount()); }
WEB_CALL unsigned WebCodePageNumber(unsigned i) { return CodePageAt(i).number; }
WEB_CALL const char* WebCodePageName(unsigned i) { return CodePageAt(i).name; }

WEB_CALL const char* WebCompleteText() { return "Patch Complete!"; }

// Lays out the patch of the differences found in Output; returns its length.
WEB_CALL unsigned WebMakePatch(const char* originalName, const char* comment, unsigned codePage)
{
    static char stored[MAX_COMMENT_LENGTH + 1];
    SelectCodePage(codePage);
    ToPatchText(comment, stored, sizeof stored, codePage);
    return EncodePatch(Output, DeriveTargetName(originalName), Records, RecordCount, stored);
}

// Takes apart the patch read into PatchFile (`size` is the file's size).
// Returns 1, or 0 with "Not a patch: " and the reason in WebVerdict.
WEB_CALL int WebReadPatch(double size, unsigned codePage)
{
    char refusal[REFUSAL_SIZE];
    SelectCodePage(codePage);
    if (size > MAX_READ_PATCH_SIZE)
        snprintf(refusal, sizeof refusal, "%s", "larger than 1 MiB: not a patch");
    else if (ReadPatchBytes(PatchFile, static_cast<size_t>(size), &Patch, refusal))
        return 1;
    DescribeFit(NULL, refusal, NULL, NULL, NULL, Verdict);
    return 0;
}

WEB_CALL unsigned WebPositions() { return Patch.distinct; }
WEB_CALL double WebPosition(unsigned i) { return Patch.positions[i].offset; }
WEB_CALL unsigned WebNewValue(unsigned i) { return Patch.positions[i].value; }

// Judges the patch against a file of `size` bytes whose bytes at the
// positions are in WebOldBytes (unless a position is past its end). Returns
// the state and leaves the information lines in WebVerdict; with no file
// named, only the patch's own lines.
WEB_CALL int WebJudge(const char* fileName, double size)
{
    char refusal[REFUSAL_SIZE];
    if (!fileName[0]) {
        DescribeFit(&Patch, NULL, NULL, NULL, NULL, Verdict);
        return -1;
    }
    Fit.fileSize = static_cast<long long>(size);
    Fit.fileName = DeriveTargetName(fileName);
    Fit.applied = 0;
    if (PastTheEnd(Patch, Fit.fileSize))
        Fit.state = FIT_PAST_END;
    else
        JudgeFit(Patch, Old, 1, 1, &Fit, refusal);
    DescribeFit(&Patch, NULL, fileName, &Fit, NULL, Verdict);
    return Fit.state;
}

// The question before applying to a file of another name, or "".
WEB_CALL const char* WebNameQuestion(const char* fileName)
{
    if (!NameQuestion(Patch, fileName, Text, sizeof Text))
        Text[0] = '\0';
    return Text;
}

WEB_CALL const char* WebPartlyQuestion()
{
    PartlyQuestion(Patch, Fit, Text, sizeof Text);
    return Text;
}

// The undo patch's name for a patch's download name.
WEB_CALL const char* WebUndoName(const char* patchName)
{
    if (!UndoPatchPath(patchName, "", Text, sizeof Text))
        Text[0] = '\0';
    return Text;
}

WEB_CALL const char* WebAppliedText(const char* fileName, const char* undoName)
{
    AppliedText(fileName, undoName[0] ? undoName : NULL, Text, sizeof Text);
    return Text;
}

// Lays out in Output the patch that puts back the bytes the patch changes, as
// the applier writes it; returns its length.
WEB_CALL unsigned WebUndoPatch(const char* patchName, unsigned codePage)
{
    SelectCodePage(codePage);
    return EncodeUndoPatch(Patch, Old, patchName, Output);
}
