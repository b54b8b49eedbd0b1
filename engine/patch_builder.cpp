#include "patch_builder.h"

#include "file_platform.h"
#include "patch_format.h"
#include "target_name.h"
#include "warning.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

static const char ErrorOpeningOriginal[] = "Error opening original file!";
static const char ErrorOpeningModified[] = "Error opening modified file!";
static const char ErrorReadingOriginal[] = "Error reading original file!";
static const char ErrorReadingModified[] = "Error reading modified file!";
static const char ErrorSizesDiffer[] = "Files don't appear to be the same size!";
static const char ErrorTooLarge[] = "Files of 2 GB or more are not supported!";
static const char ErrorOpeningPatch[] = "Error opening file to write patch to!";
static const char ErrorPatchOverInput[] = "The patch can't be written over one of the files being compared!";
static const char ErrorTooManyDifferences[] = "Too many differences to fit in one patch!";

// Offsets are written as signed 32-bit positions, so inputs stay below 2 GiB.
static const long long MaxInputSize = 0x7FFFFFFFLL;

static const size_t BLOCK_SIZE = 1 << 18;
static const size_t CHUNK_SIZE = 64;

static unsigned char OriginalBlock[BLOCK_SIZE];
static unsigned char ModifiedBlock[BLOCK_SIZE];
static PatchRecord Differences[MAX_PATCH_RECORDS];
static unsigned DifferenceCount;
static unsigned char PatchBytes[MAX_PATCH_SIZE];

// Opens an input for reading; anything but a plain file counts as a failed open.
static FILE* OpenInput(const char* path, FileInfo* info)
{
    FILE* file = fopen(path, "rb");
    if (file && !(InspectOpenFile(file, info) && info->regular)) {
        fclose(file);
        file = NULL;
    }
    if (file)
        setvbuf(file, NULL, _IONBF, 0); // blocks are read whole, straight into our buffers
    return file;
}

static int OpenInputs(void* owner, const char* originalPath, const char* modifiedPath,
                      FILE** original, FileInfo* originalInfo, FILE** modified, FileInfo* modifiedInfo)
{
    *original = OpenInput(originalPath, originalInfo);
    if (!*original) {
        ShowWarning(owner, ErrorOpeningOriginal);
        return 0;
    }
    *modified = OpenInput(modifiedPath, modifiedInfo);
    if (!*modified) {
        fclose(*original);
        ShowWarning(owner, ErrorOpeningModified);
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
        ShowWarning(owner, problem);
        return 0;
    }
    return 1;
}

// Appends a record for every differing byte of one block pair. Returns 0
// when the list is full.
static int CollectDifferences(const unsigned char* original, const unsigned char* modified,
                              size_t length, long long blockOffset)
{
    for (size_t chunk = 0; chunk < length; chunk += CHUNK_SIZE) {
        size_t chunkLength = std::min(length - chunk, CHUNK_SIZE);
        if (memcmp(original + chunk, modified + chunk, chunkLength) == 0)
            continue;
        for (size_t i = chunk; i < chunk + chunkLength; i++) {
            if (original[i] == modified[i])
                continue;
            if (DifferenceCount == MAX_PATCH_RECORDS)
                return 0;
            PatchRecord& record = Differences[DifferenceCount++];
            record.offset = static_cast<uint32_t>(blockOffset + static_cast<long long>(i));
            record.marker = PATCH_RECORD_MARKER;
            record.value = modified[i];
        }
    }
    return 1;
}

// Reads exactly `length` bytes; 0 with the reason when the file fell short.
static int ReadBlock(FILE* file, unsigned char* block, size_t length, const char* readError,
                     const char** problem)
{
    if (fread(block, 1, length, file) == length)
        return 1;
    *problem = ferror(file) ? readError : ErrorSizesDiffer;
    return 0;
}

// An input that grew after it was measured has bytes left at the end.
static const char* TrailingProblem(FILE* file, const char* readError)
{
    if (fgetc(file) != EOF)
        return ErrorSizesDiffer;
    return ferror(file) ? readError : NULL;
}

// Fills the difference list from the two inputs. Returns the reason for
// stopping early, or NULL when the whole length was compared.
static const char* CompareInputs(FILE* original, FILE* modified, long long size)
{
    const char* problem = NULL;
    DifferenceCount = 0;
    for (long long position = 0; position < size; position += BLOCK_SIZE) {
        size_t length = static_cast<size_t>(std::min<long long>(size - position, BLOCK_SIZE));
        if (!ReadBlock(original, OriginalBlock, length, ErrorReadingOriginal, &problem)
            || !ReadBlock(modified, ModifiedBlock, length, ErrorReadingModified, &problem))
            return problem;
        if (memcmp(OriginalBlock, ModifiedBlock, length) != 0
            && !CollectDifferences(OriginalBlock, ModifiedBlock, length, position))
            return ErrorTooManyDifferences;
    }
    problem = TrailingProblem(original, ErrorReadingOriginal);
    return problem ? problem : TrailingProblem(modified, ErrorReadingModified);
}

static int SameFile(const FileInfo& a, const FileInfo& b)
{
    return a.volume == b.volume && a.index == b.index;
}

// Writes the finished patch into the open temporary file and closes it.
static int WritePatchFile(FILE* patch, const char* originalPath, const char* comment)
{
    size_t length = EncodePatch(PatchBytes, DeriveTargetName(originalPath), Differences,
                                DifferenceCount, comment);
    int written = fwrite(PatchBytes, 1, length, patch) == length;
    return CommitFile(patch) && written;
}

int BuildPatch(void* owner, const char* originalPath, const char* modifiedPath,
               const char* patchPath, const char* comment)
{
    FileInfo existing;
    int patchExists;
    char tempPath[TEMP_PATH_SIZE];
    FILE* patch = NULL;
    if (ProbeWritablePath(patchPath, &existing, &patchExists))
        patch = CreateTempBeside(patchPath, tempPath);
    if (!patch) {
        ShowWarning(owner, ErrorOpeningPatch);
        return 0;
    }

    FILE *original, *modified;
    FileInfo originalInfo, modifiedInfo;
    if (!OpenInputs(owner, originalPath, modifiedPath, &original, &originalInfo, &modified, &modifiedInfo)) {
        fclose(patch);
        remove(tempPath);
        return 0;
    }

    const char* problem = NULL;
    if (patchExists && (SameFile(existing, originalInfo) || SameFile(existing, modifiedInfo)))
        problem = ErrorPatchOverInput;
    if (!problem)
        problem = SizeProblem(originalInfo, modifiedInfo);
    if (!problem)
        problem = CompareInputs(original, modified, originalInfo.size);
    fclose(original);
    fclose(modified);

    if (problem) {
        fclose(patch);
        remove(tempPath);
        ShowWarning(owner, problem);
        return 0;
    }
    // A failed write is not reported here: the caller says "Error writing patch!".
    if (!WritePatchFile(patch, originalPath, comment) || !MoveTempOver(tempPath, patchPath)) {
        remove(tempPath);
        return 0;
    }
    return 1;
}
