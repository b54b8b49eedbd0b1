// The engine's calls for the page's worker: the worker reads the files in
// slices into the buffers here and gets back the patch, the verdict and the
// texts, as the Windows programs show them.
#include "apply_texts.h"
#include "make_messages.h"
#include "patch_builder.h"
#include "patch_compare.h"
#include "patch_core.h"
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

static unsigned char Slices[2][SLICE_SIZE];
static PatchRecord Records[MAX_PATCH_RECORDS];
static unsigned RecordCount;
static unsigned char Output[MAX_PATCH_SIZE];
static PatchSpace Space; // the patch in use, its file's bytes read in by the worker
static unsigned char Old[MAX_PATCH_RECORDS];
static PatchContents Patch;
static PatchFit Fit;
static char Verdict[VERDICT_SIZE];
static char Text[TEXT_SIZE];

WEB_CALL unsigned char* WebSlice(int which) { return Slices[which]; }
WEB_CALL unsigned WebSliceSize() { return SLICE_SIZE; }
WEB_CALL unsigned char* WebOutput() { return Output; }
WEB_CALL unsigned char* WebPatchFile() { return Space.bytes; }
WEB_CALL unsigned WebPatchFileSize() { return MAX_READ_PATCH_SIZE; }
WEB_CALL const char* WebVerdict() { return Verdict; }
WEB_CALL const char* WebCompleteText() { return PatchComplete; }
WEB_CALL const char* WebTooManyText() { return ErrorTooManyDifferences; }

// The fit states by name, so the worker never spells them as numbers.
WEB_CALL const char* WebFitStates()
{
    snprintf(Text, sizeof Text, "{\"notApplied\":%d,\"applied\":%d,\"partlyApplied\":%d,\"pastEnd\":%d}",
             FIT_NOT_APPLIED, FIT_APPLIED, FIT_PARTLY_APPLIED, FIT_PAST_END);
    return Text;
}

// The refusal before any byte is read, or NULL; an empty name is a file not chosen.
WEB_CALL const char* WebMakeProblem(const char* originalName, const char* modifiedName, double originalSize,
                                    double modifiedSize)
{
    RecordCount = 0;
    const char* unchosen = UnchosenInput(originalName, modifiedName);
    return unchosen ? unchosen
                    : InputSizesProblem(static_cast<long long>(originalSize), static_cast<long long>(modifiedSize));
}

// Compares the two slices of `length` bytes found at `offset` in the files.
WEB_CALL const char* WebCompare(unsigned length, double offset)
{
    if (!CompareBlocks(Slices[0], Slices[1], length, static_cast<long long>(offset), Records, &RecordCount))
        return ErrorTooManyDifferences;
    return NULL;
}

WEB_CALL unsigned WebRecordCount() { return RecordCount; }

static int MadeLost;

// Lays out the patch of the differences found in Output; returns its length.
WEB_CALL unsigned WebMakePatch(const char* originalName, const char* comment, unsigned codePage)
{
    char stored[MAX_COMMENT_LENGTH + 1];
    int nameLost, commentLost;
    ToPatchText(comment, stored, sizeof stored, codePage, &commentLost);
    TargetName name = DeriveTargetName(originalName, codePage, &nameLost);
    MadeLost = (nameLost ? LOST_NAME : 0) | (commentLost ? LOST_COMMENT : 0);
    return EncodePatch(Output, name, Records, RecordCount, stored);
}

// What the patch WebMakePatch laid out stored as '?' for characters its code
// page lacks: LOST_NAME (1) for the target name, LOST_COMMENT (2) for the comment.
WEB_CALL int WebMakeLost() { return MadeLost; }

// Takes apart the patch `name` read into WebPatchFile() (`size` is the file's
// size). Returns 1, or 0 with the refusal in WebVerdict: "Not a patch: " and
// the reason, or the file named when it is too large to be one.
WEB_CALL int WebReadPatch(const char* name, double size, unsigned codePage)
{
    char refusal[REFUSAL_SIZE];
    if (size > MAX_READ_PATCH_SIZE) {
        snprintf(Verdict, sizeof Verdict, "%s: %s", name, PatchTooLarge);
        return 0;
    }
    if (ReadPatchBytes(Space.bytes, static_cast<size_t>(size), codePage, &Space, &Patch, refusal))
        return 1;
    DescribeFit(NULL, refusal, NULL, NULL, NULL, Verdict);
    return 0;
}

// Judges the patch against a file of `size` bytes whose bytes at the
// positions are in Old (unless a position is past its end). Returns
// the state and leaves the information lines in WebVerdict; with no file
// named, only the patch's own lines, and -1.
WEB_CALL int WebJudge(const char* fileName, double size)
{
    if (!fileName[0]) {
        DescribeFit(&Patch, NULL, NULL, NULL, NULL, Verdict);
        return -1;
    }
    Fit.fileSize = static_cast<long long>(size);
    Fit.fileName = DeriveTargetName(fileName, Patch.codePage, NULL);
    JudgeFit(Patch, Old, &Fit);
    DescribeFit(&Patch, NULL, fileName, &Fit, NULL, Verdict);
    return Fit.state;
}

// What the last WebJudge found, as fields: how many positions already hold
// their new value, whether the file's name gives the target name, and the
// box's line for the fit alone.
WEB_CALL unsigned WebFitApplied() { return Fit.applied; }
WEB_CALL int WebFitSameName() { return Fit.sameName; }
WEB_CALL const char* WebFitLine()
{
    FitLine(Patch, Fit, Text, sizeof Text);
    return Text;
}

// The question before applying to a file of another name, or "".
WEB_CALL const char* WebNameQuestion(const char* fileName)
{
    if (!NameQuestion(Patch, fileName, Text, sizeof Text))
        Text[0] = '\0';
    return Text;
}

// The question before applying the rest of a partly applied patch, or "".
WEB_CALL const char* WebPartlyQuestion()
{
    Text[0] = '\0';
    if (Fit.state == FIT_PARTLY_APPLIED)
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

// Patches applied in turn, as one chain of positions (ascending) with their
// final values: the file's bytes there as read (Original) and as the patches
// judged so far leave them (Now).
enum { CHAIN_ROOM = 4 * MAX_PATCH_RECORDS };
static PatchRecord Chain[CHAIN_ROOM];
static unsigned ChainCount;
static unsigned char Original[CHAIN_ROOM], Now[CHAIN_ROOM];

WEB_CALL void WebChainStart() { ChainCount = 0; }

// Adds the patch read last to the chain; 0 when the chain has no room for it.
WEB_CALL int WebChainAdd() { return ChainPatch(Chain, &ChainCount, CHAIN_ROOM, Patch); }

WEB_CALL unsigned WebChainCount() { return ChainCount; }
// The chain's final value at `i`, and the file's byte there as read.
WEB_CALL unsigned WebChainValue(unsigned i) { return i < ChainCount ? Chain[i].value : 0; }
WEB_CALL unsigned WebChainOriginal(unsigned i) { return i < ChainCount ? Original[i] : 0; }
WEB_CALL double WebChainPosition(unsigned i) { return i < ChainCount ? Chain[i].offset : -1; }

// Takes the file's bytes at the chain's positions from slice `which`, read
// from `offset` (`length` bytes). Returns how many it took.
WEB_CALL unsigned WebChainTake(int which, double offset, unsigned length)
{
    long long at = static_cast<long long>(offset);
    TakeBytes(Chain, ChainCount, at, Slices[which], length, Now);
    return TakeBytes(Chain, ChainCount, at, Slices[which], length, Original);
}

// Judges the patch read last as WebJudge does, against the file as the
// patches judged before it in the chain leave it, then lays its values over
// that file. Returns the state.
WEB_CALL int WebChainJudge(const char* fileName, double size)
{
    ChainedBytes(Chain, ChainCount, Now, Patch, Old);
    int state = WebJudge(fileName, size);
    LayChained(Chain, ChainCount, Now, Patch);
    return state;
}

// Lays the chain's final values over slice `which`, read from `offset`
// (`length` bytes): the patched file's bytes there. Returns how many it laid.
WEB_CALL unsigned WebChainLay(int which, double offset, unsigned length)
{
    return LayPositions(Chain, ChainCount, static_cast<long long>(offset), Slices[which], length);
}

// Lays out in WebOutput the one patch that undoes the whole chain, for the
// target of the patch read last, with "undoes" and `patchNames` as its
// comment. Returns its length, or 0 when more bytes change than one patch holds.
WEB_CALL unsigned WebChainUndo(const char* patchNames, unsigned codePage)
{
    char stored[MAX_COMMENT_LENGTH + 1];
    UndoComment(patchNames, codePage, stored, NULL);
    return EncodeUndo(Patch.name, Chain, ChainCount, Original, stored, Output);
}
