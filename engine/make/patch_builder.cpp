#include "patch_builder.h"

#include "file_replace.h"
#include "platform.h"
#include "patch_compare.h"
#include "make_messages.h"
#include "patch_format.h"
#include "patch_text.h"
#include "target_name.h"
#include "warning.h"

#include <algorithm>
#include <cstdio>
#include <cstring>


// Offsets are written as signed 32-bit positions, so inputs stay below 2 GiB.
static const long long MaxInputSize = 0x7FFFFFFFLL;

static const size_t BLOCK_SIZE = 1 << 17;

// The two halves of the inputs are compared at once, each with its own
// buffers and difference list: copying the data from the system's cache is
// most of the work, and one thread alone cannot keep up with it. The
// second half's list is moved up behind the first half's afterwards.
struct CompareHalf {
    FILE* original;
    FILE* modified;
    long long begin, end;
    unsigned char* originalBlock;
    unsigned char* modifiedBlock;
    PatchRecord* differences;
    unsigned count;
    const char* problem;
};

static unsigned char Blocks[2][2][BLOCK_SIZE];
static PatchRecord Differences[2 * MAX_PATCH_RECORDS];
static unsigned char PatchBytes[MAX_PATCH_SIZE];
static char StoredComment[MAX_COMMENT_LENGTH + 1];

static int OpenInputs(void* owner, const char* originalPath, const char* modifiedPath,
                      FILE** original, FileInfo* originalInfo, FILE** modified, FileInfo* modifiedInfo)
{
    *original = OpenInputFile(originalPath, originalInfo);
    if (!*original) {
        ShowWarning(owner, originalPath, ErrorOpeningOriginal, SystemReason());
        return 0;
    }
    *modified = OpenInputFile(modifiedPath, modifiedInfo);
    if (!*modified) {
        fclose(*original);
        ShowWarning(owner, modifiedPath, ErrorOpeningModified, SystemReason());
        return 0;
    }
    return 1;
}

static const char* SizeProblem(const FileInfo& original, const FileInfo& modified)
{
    if (original.size != modified.size)
        return ErrorSizesDiffer;
    if (original.size > MaxInputSize)
        return ErrorTooLarge;
    return NULL;
}

// The file a refusal of the builder names.
static const char* ProblemPath(const char* problem, const char* originalPath, const char* modifiedPath,
                               const char* patchPath)
{
    if (problem == ErrorPatchOverInput)
        return patchPath;
    return problem == ErrorReadingOriginal || problem == ErrorTooLarge ? originalPath : modifiedPath;
}

int CheckSameSize(void* owner, const char* originalPath, const char* modifiedPath)
{
    FILE *original, *modified;
    FileInfo originalInfo, modifiedInfo;
    if (!OpenInputs(owner, originalPath, modifiedPath, &original, &originalInfo, &modified, &modifiedInfo))
        return 0;
    fclose(original);
    fclose(modified);
    const char* problem = SizeProblem(originalInfo, modifiedInfo);
    if (problem) {
        ShowWarning(owner, ProblemPath(problem, originalPath, modifiedPath, NULL), problem, NULL);
        return 0;
    }
    return 1;
}

// Reads exactly `length` bytes; otherwise sets the reason: a read error, or
// a file that is now shorter than it was measured.
static int ReadBlock(FILE* file, unsigned char* block, size_t length, long long offset,
                     const char* readError, const char** problem)
{
    long got = ReadAt(file, block, length, offset);
    if (got == static_cast<long>(length))
        return 1;
    *problem = got < 0 ? readError : ErrorSizesDiffer;
    return 0;
}

static void CompareRange(void* argument)
{
    CompareHalf* half = static_cast<CompareHalf*>(argument);
    for (long long position = half->begin; position < half->end; position += BLOCK_SIZE) {
        size_t length = static_cast<size_t>(std::min<long long>(half->end - position, BLOCK_SIZE));
        if (!ReadBlock(half->original, half->originalBlock, length, position, ErrorReadingOriginal, &half->problem)
            || !ReadBlock(half->modified, half->modifiedBlock, length, position, ErrorReadingModified, &half->problem))
            return;
        if (!CompareBlocks(half->originalBlock, half->modifiedBlock, length, position, half->differences,
                           &half->count)) {
            half->problem = ErrorTooManyDifferences;
            return;
        }
    }
}

// An input that grew after it was measured has a byte past that length.
static const char* TrailingProblem(FILE* file, long long size, const char* readError)
{
    unsigned char byte;
    long got = ReadAt(file, &byte, 1, size);
    if (got < 0)
        return readError;
    return got > 0 ? ErrorSizesDiffer : NULL;
}

// Fills the difference list from the two inputs and sets `count`. Returns
// the reason for stopping early, or NULL when the whole length was compared.
static const char* CompareInputs(FILE* original, FILE* modified, long long size, unsigned* count)
{
    long long middle = (size / 2) & ~static_cast<long long>(BLOCK_SIZE - 1);
    CompareHalf halves[2] = {
        {original, modified, 0, middle, Blocks[0][0], Blocks[0][1], Differences, 0, NULL},
        {original, modified, middle, size, Blocks[1][0], Blocks[1][1], Differences + MAX_PATCH_RECORDS, 0, NULL},
    };
    RunInParallel(CompareRange, &halves[0], &halves[1]);
    for (const CompareHalf& half : halves)
        if (half.problem)
            return half.problem;
    if (halves[0].count + halves[1].count > MAX_PATCH_RECORDS)
        return ErrorTooManyDifferences;
    memmove(Differences + halves[0].count, halves[1].differences, halves[1].count * sizeof(PatchRecord));
    *count = halves[0].count + halves[1].count;

    const char* problem = TrailingProblem(original, size, ErrorReadingOriginal);
    return problem ? problem : TrailingProblem(modified, size, ErrorReadingModified);
}

// Writes the finished patch into the file begun beside `patchPath` and moves
// it into place.
static int WritePatchFile(Replacement* patch, const char* originalPath, unsigned count, const char* comment)
{
    // The comment is stored in the code page patch readers use, as the name is.
    ToPatchText(comment, StoredComment, sizeof StoredComment, SelectedCodePage());
    size_t length = EncodePatch(PatchBytes, StoredTargetName(originalPath), Differences, count, StoredComment);
    // A failed write fails the commit, which gives its reason.
    fwrite(PatchBytes, 1, length, patch->file);
    Replacement* failed;
    return CommitReplace(patch, NULL, &failed);
}

int BuildPatch(void* owner, const char* originalPath, const char* modifiedPath,
               const char* patchPath, const char* comment)
{
    // The patch's file is begun first, so that a path that cannot take it is
    // told before the inputs are opened; an interrupt removes it.
    static Replacement patch;
    if (!BeginReplace(patchPath, &patch)) {
        ShowWarning(owner, patchPath, ErrorOpeningPatch, SystemReason());
        return 0;
    }

    FILE *original, *modified;
    FileInfo originalInfo, modifiedInfo;
    if (!OpenInputs(owner, originalPath, modifiedPath, &original, &originalInfo, &modified, &modifiedInfo)) {
        AbandonReplace(&patch);
        return 0;
    }

    const char* problem = NULL;
    unsigned count = 0;
    if (patch.exists && (SameFile(patch.info, originalInfo) || SameFile(patch.info, modifiedInfo)))
        problem = ErrorPatchOverInput;
    if (!problem)
        problem = SizeProblem(originalInfo, modifiedInfo);
    if (!problem)
        problem = CompareInputs(original, modified, originalInfo.size, &count);
    fclose(original);
    fclose(modified);

    if (problem) {
        AbandonReplace(&patch);
        ShowWarning(owner, ProblemPath(problem, originalPath, modifiedPath, patchPath), problem, NULL);
        return 0;
    }
    // A failed write is not reported here: the caller says "Error writing patch!".
    return WritePatchFile(&patch, originalPath, count, comment);
}
