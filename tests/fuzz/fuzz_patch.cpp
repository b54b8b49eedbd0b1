// libFuzzer target: the input is a patch file. The file it is judged
// against lives in memory: as long as the comment's first two bytes say
// (little-endian; 4096 without them), made of the input's own bytes over and
// over, so that records can match it. The comment's third byte, if any,
// sets --any-name (bit 0), --force (bit 1) and a file named game.exe
// (bit 2; else the file is named as the patch says).
#include "patch_apply.h"
#include "patch_core.h"
#include "patch_judging.h"
#include "target_name.h"

#include <cstdlib>
#include <cstring>

static PatchSpace Space;

static unsigned char Old[MAX_PATCH_RECORDS];
static PatchRecord Positions[MAX_PATCH_RECORDS];
static unsigned char Encoded[MAX_PATCH_SIZE];

static void Require(bool condition)
{
    if (!condition)
        abort();
}

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size)
{
    PatchContents patch;
    char refusal[REFUSAL_SIZE];
    if (!ReadPatchBytes(data, size, 0, &Space, &patch, refusal)) {
        Require(memchr(refusal, 0, REFUSAL_SIZE) != nullptr && refusal[0] != 0);
        return 0;
    }
    Require(patch.distinct <= patch.count && patch.name.bytes[TARGET_NAME_SIZE - 1] == 0);

    PatchFit fit;
    fit.fileSize = patch.commentLength >= 2 ? patch.comment[0] | patch.comment[1] << 8 : 4096;
    int flags = patch.commentLength >= 3 ? patch.comment[2] : 0;
    fit.fileName = DeriveTargetName(flags & 4 ? "game.exe" : patch.name.bytes, 0, nullptr);
    for (unsigned i = 0; i < patch.distinct; i++)
        Old[i] = data[patch.positions[i].offset % size];
    JudgeFit(patch, Old, &fit);
    Require(fit.applied <= patch.distinct);
    if (FitRefused(patch, fit, flags & 1, flags & 2, refusal))
        Require(memchr(refusal, 0, REFUSAL_SIZE) != nullptr && refusal[0] != 0);

    // What is written out and read again is the same patch: its name, and
    // each position's offset and value.
    TargetName name = patch.name;
    unsigned distinct = patch.distinct;
    memcpy(Positions, patch.positions, distinct * sizeof *Positions);
    size_t length = EncodePatch(Encoded, name, Positions, distinct, "");
    Require(ReadPatchBytes(Encoded, length, 0, &Space, &patch, refusal) && patch.count == distinct && patch.distinct == distinct);
    Require(memcmp(patch.name.bytes, name.bytes, TARGET_NAME_SIZE) == 0);
    for (unsigned i = 0; i < distinct; i++)
        Require(patch.positions[i].offset == Positions[i].offset && patch.positions[i].value == Positions[i].value);

    // Its undo patch puts back the old byte at each position that changes,
    // and at no other.
    length = EncodeUndo(name, Positions, distinct, Old, "", Encoded);
    Require(length > 0 && ReadPatchBytes(Encoded, length, 0, &Space, &patch, refusal));
    unsigned undone = 0;
    for (unsigned i = 0; i < distinct; i++) {
        if (Old[i] == Positions[i].value)
            continue;
        Require(undone < patch.distinct && patch.positions[undone].offset == Positions[i].offset
                && patch.positions[undone].value == Old[i]);
        undone++;
    }
    Require(undone == patch.distinct && patch.count == undone);
    return 0;
}
