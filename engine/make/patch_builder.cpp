#include "patch_builder.h"

#include "file_replace.h"
#include "platform.h"
#include "patch_compare.h"
#include "make_messages.h"
#include "patch_format.h"
#include "patch_text.h"
#include "target_name.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

static const size_t BLOCK_SIZE = 1 << 17;

// The two halves of the inputs are compared at once, each with its own
// buffers and difference list: copying the data from the system's cache is
// most of the work, and one thread alone cannot keep up with it. The
// second half's list is moved up behind the first half's afterwards.
struct CompareHalf {
    FILE* original;
    FILE* modified;
    const char* originalPath;
    const char* modifiedPath;
    long long begin, end;
    unsigned char* originalBlock;
    unsigned char* modifiedBlock;
    PatchRecord* differences;
    unsigned count;
    int ok;
    Problem problem; // taken on the comparing thread, where the read failed
};

// What one make works in, taken from the heap for the call.
struct MakeWork {
    Replacement patch;
    unsigned char blocks[2][2][BLOCK_SIZE]; // each half's blocks of the original and the modified file
    PatchRecord differences[2 * MAX_PATCH_RECORDS];
    unsigned char patchBytes[MAX_PATCH_SIZE];
    char storedComment[MAX_COMMENT_LENGTH + 1];
};

// One of the make dialog's own messages, the reason noted kept for the
// console's line. Returns 0.
static int Say(Problem* problem, const char* path, const char* message)
{
    Blame(problem, path, message);
    problem->kind = PROBLEM_MAKE_MESSAGE;
    return 0;
}

static int OpenInputs(const char* originalPath, const char* modifiedPath, FILE** original, FileInfo* originalInfo,
                      FILE** modified, FileInfo* modifiedInfo, Problem* problem)
{
    *original = OpenInputFile(originalPath, originalInfo, problem);
    if (!*original)
        return Say(problem, originalPath, ErrorOpeningOriginal);
    *modified = OpenInputFile(modifiedPath, modifiedInfo, problem);
    if (!*modified) {
        fclose(*original);
        return Say(problem, modifiedPath, ErrorOpeningModified);
    }
    return 1;
}

static int SizesFit(const FileInfo& original, const FileInfo& modified, const char* originalPath,
                    const char* modifiedPath, Problem* problem)
{
    const char* what = InputSizesProblem(original.size, modified.size);
    // Inputs of one size are too large: the original is named.
    const char* path = original.size == modified.size ? originalPath : modifiedPath;
    return what ? Fail(problem, PROBLEM_MAKE_MESSAGE, path, what) : 1;
}

int CompareSizes(const char* originalPath, const char* modifiedPath, Problem* problem)
{
    FILE *original, *modified;
    FileInfo originalInfo, modifiedInfo;
    if (!OpenInputs(originalPath, modifiedPath, &original, &originalInfo, &modified, &modifiedInfo, problem))
        return 0;
    fclose(original);
    fclose(modified);
    return SizesFit(originalInfo, modifiedInfo, originalPath, modifiedPath, problem);
}

// Reads exactly `length` bytes, or tells why not: a read error, or a file now
// shorter than it was measured.
static int ReadBlock(FILE* file, const char* path, unsigned char* block, size_t length, long long offset,
                     const char* readError, Problem* problem)
{
    long got = ReadAt(file, block, length, offset);
    if (got == static_cast<long>(length))
        return 1;
    if (got >= 0)
        return RefuseChanged(problem, path);
    NoteSystemError(problem);
    return Say(problem, path, readError);
}

static void CompareRange(void* argument)
{
    CompareHalf* half = static_cast<CompareHalf*>(argument);
    half->ok = 1;
    for (long long position = half->begin; position < half->end; position += BLOCK_SIZE) {
        size_t length = static_cast<size_t>(std::min<long long>(half->end - position, BLOCK_SIZE));
        if (!ReadBlock(half->original, half->originalPath, half->originalBlock, length, position, ErrorReadingOriginal,
                       &half->problem)
            || !ReadBlock(half->modified, half->modifiedPath, half->modifiedBlock, length, position,
                          ErrorReadingModified, &half->problem)) {
            half->ok = 0;
            return;
        }
        if (!CompareBlocks(half->originalBlock, half->modifiedBlock, length, position, half->differences,
                           &half->count)) {
            half->ok = Fail(&half->problem, PROBLEM_MAKE_MESSAGE, NULL, ErrorTooManyDifferences);
            return;
        }
    }
}

// An input that grew after it was measured has a byte past that length.
static int EndsThere(FILE* file, const char* path, long long size, const char* readError, Problem* problem)
{
    unsigned char byte;
    long got = ReadAt(file, &byte, 1, size);
    if (got < 0)
        return NoteSystemError(problem), Say(problem, path, readError);
    return got == 0 ? 1 : RefuseChanged(problem, path);
}

// Fills the work's difference list from the two inputs of `size` bytes and sets `count`.
static int CompareInputs(const CompareHalf& inputs, long long size, MakeWork* work, unsigned* count, Problem* problem)
{
    CompareHalf halves[2];
    long long middle = (size / 2) & ~static_cast<long long>(BLOCK_SIZE - 1);
    halves[0] = halves[1] = inputs;
    halves[0].begin = 0, halves[0].end = middle;
    halves[1].begin = middle, halves[1].end = size;
    for (int i = 0; i < 2; i++) {
        halves[i].originalBlock = work->blocks[i][0];
        halves[i].modifiedBlock = work->blocks[i][1];
        halves[i].differences = work->differences + i * MAX_PATCH_RECORDS;
    }
    halves[1].original = SecondReader(inputs.original);
    halves[1].modified = SecondReader(inputs.modified);
    RunInParallel(CompareRange, &halves[0], &halves[1]);
    CloseSecondReader(halves[1].original, inputs.original);
    CloseSecondReader(halves[1].modified, inputs.modified);
    for (const CompareHalf& half : halves)
        if (!half.ok)
            return *problem = half.problem, 0;
    if (halves[0].count + halves[1].count > MAX_PATCH_RECORDS)
        return Fail(problem, PROBLEM_MAKE_MESSAGE, NULL, ErrorTooManyDifferences);
    memmove(work->differences + halves[0].count, halves[1].differences, halves[1].count * sizeof(PatchRecord));
    *count = halves[0].count + halves[1].count;
    return EndsThere(inputs.original, inputs.originalPath, size, ErrorReadingOriginal, problem)
           && EndsThere(inputs.modified, inputs.modifiedPath, size, ErrorReadingModified, problem);
}

// Writes the finished patch into the file begun beside `patchPath` and moves
// it into place.
static int WritePatchFile(MakeWork* work, const char* patchPath, const char* originalPath, unsigned count,
                          const char* comment, unsigned codePage, int* lost, Problem* problem)
{
    Replacement* patch = &work->patch;
    char* storedComment = work->storedComment;
    // The comment is stored in the code page patch readers use, as the name is.
    int nameLost, commentLost;
    ToPatchText(comment, storedComment, sizeof work->storedComment, codePage, &commentLost);
    TargetName name = DeriveTargetName(originalPath, codePage, &nameLost);
    size_t length = EncodePatch(work->patchBytes, name, work->differences, count, storedComment);
    // A failed write fails the commit, which gives its reason.
    fwrite(work->patchBytes, 1, length, patch->file);
    Replacement* failed;
    char what[PROBLEM_TEXT_SIZE];
    if (CommitReplace(patch, NULL, &failed, problem)) {
        if (lost)
            *lost = (nameLost ? LOST_NAME : 0) | (commentLost ? LOST_COMMENT : 0);
        return 1;
    }
    if (patch->changed)
        return RefuseChanged(problem, patchPath);
    if (patch->unflushed)
        return Blame(problem, patchPath, WrittenUnflushed);
    snprintf(what, sizeof what, "cannot be written%s%s", patch->kept[0] ? "; the old contents are kept as " : "",
             patch->kept);
    return Blame(problem, patchPath, what);
}

static int Make(const char* originalPath, const char* modifiedPath, const char* patchPath, const char* comment,
                unsigned codePage, int* lost, MakeWork* work, Problem* problem)
{
    // The patch's file is begun first, so that a path that cannot take it is
    // told before the inputs are opened; an interrupt removes it.
    Replacement& patch = work->patch;
    if (!BeginReplace(patchPath, NULL, NULL, &patch, problem))
        return Say(problem, patchPath, ErrorOpeningPatch);
    CompareHalf inputs = {};
    inputs.originalPath = originalPath;
    inputs.modifiedPath = modifiedPath;
    FileInfo originalInfo, modifiedInfo;
    if (!OpenInputs(originalPath, modifiedPath, &inputs.original, &originalInfo, &inputs.modified, &modifiedInfo,
                    problem)) {
        AbandonReplace(&patch);
        return 0;
    }
    unsigned count = 0;
    int compared = 0;
    if (patch.exists && (SameFile(patch.info, originalInfo) || SameFile(patch.info, modifiedInfo)))
        Fail(problem, PROBLEM_MAKE_MESSAGE, patchPath, ErrorPatchOverInput);
    else if (SizesFit(originalInfo, modifiedInfo, originalPath, modifiedPath, problem))
        compared = CompareInputs(inputs, originalInfo.size, work, &count, problem);
    fclose(inputs.original);
    fclose(inputs.modified);
    if (!compared) {
        AbandonReplace(&patch);
        return 0;
    }
    return WritePatchFile(work, patchPath, originalPath, count, comment, codePage, lost, problem);
}

int MakePatchFile(const char* originalPath, const char* modifiedPath, const char* patchPath, const char* comment,
                  unsigned codePage, int* lost, Problem* problem)
{
    MakeWork* work = static_cast<MakeWork*>(malloc(sizeof(MakeWork)));
    if (!work)
        return NoteError(problem, ENOMEM), Say(problem, originalPath, ErrorReadingOriginal);
    int made = Make(originalPath, modifiedPath, patchPath, comment, codePage, lost, work, problem);
    KeepProblemPath(problem, work, sizeof *work);
    free(work);
    return made;
}
