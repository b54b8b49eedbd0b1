// Applying a patch over memory; see patch_core.h.
#include "patch_core.h"

#include <algorithm>
#include <cstring>

int PastTheEnd(const PatchContents& patch, long long size)
{
    return patch.distinct > 0 && patch.positions[patch.distinct - 1].offset >= size;
}

void JudgeFit(const PatchContents& patch, const unsigned char* oldBytes, PatchFit* fit)
{
    fit->sameName = strncmp(patch.name.bytes, fit->fileName.bytes, TARGET_NAME_SIZE) == 0;
    fit->applied = 0;
    if (PastTheEnd(patch, fit->fileSize)) {
        fit->state = FIT_PAST_END;
        return;
    }
    for (unsigned i = 0; i < patch.distinct; i++)
        fit->applied += oldBytes[i] == patch.positions[i].value;
    // A patch with no records changes nothing: its target is as patched as it gets.
    fit->state = fit->applied == patch.distinct ? FIT_APPLIED
                 : fit->applied == 0           ? FIT_NOT_APPLIED
                                               : FIT_PARTLY_APPLIED;
}

// The first of the positions at or after `at`.
static unsigned FirstFrom(const PatchRecord* positions, unsigned count, long long at)
{
    const PatchRecord* first = std::lower_bound(
        positions, positions + count, at, [](const PatchRecord& p, long long offset) { return p.offset < offset; });
    return static_cast<unsigned>(first - positions);
}

unsigned LayPositions(const PatchRecord* positions, unsigned count, long long at, unsigned char* window, size_t length)
{
    unsigned first = FirstFrom(positions, count, at), i = first;
    for (; i < count && positions[i].offset - at < static_cast<long long>(length); i++)
        window[positions[i].offset - at] = positions[i].value;
    return i - first;
}

unsigned TakeBytes(const PatchRecord* positions, unsigned count, long long at, const unsigned char* window,
                   size_t length, unsigned char* bytes)
{
    unsigned first = FirstFrom(positions, count, at), i = first;
    for (; i < count && positions[i].offset - at < static_cast<long long>(length); i++)
        bytes[i] = window[positions[i].offset - at];
    return i - first;
}

static unsigned char* PutLittleEndian(unsigned char* out, uint32_t value, int size)
{
    for (int i = 0; i < size; i++)
        *out++ = static_cast<unsigned char>(value >> (8 * i));
    return out;
}

size_t EncodeUndo(const TargetName& name, const PatchRecord* positions, unsigned count,
                  const unsigned char* oldBytes, const char* comment, unsigned char* out)
{
    unsigned char* p = out + PATCH_HEADER_SIZE;
    unsigned changed = 0;
    for (unsigned i = 0; i < count; i++) {
        if (oldBytes[i] == positions[i].value)
            continue;
        if (++changed > MAX_PATCH_RECORDS)
            return 0;
        p = PutLittleEndian(p, positions[i].offset, 4);
        *p++ = positions[i].marker;
        *p++ = oldBytes[i];
    }
    memcpy(out, name.bytes, TARGET_NAME_SIZE);
    PutLittleEndian(out + TARGET_NAME_SIZE, changed, 2);
    size_t commentLength = strnlen(comment, MAX_COMMENT_LENGTH);
    memcpy(p, comment, commentLength);
    return static_cast<size_t>(p + commentLength - out);
}

int ChainPatch(PatchRecord* chain, unsigned* count, unsigned room, const PatchContents& patch)
{
    const PatchRecord* added = patch.positions;
    unsigned have = *count, adding = patch.distinct, fresh = 0;
    for (unsigned i = 0, k = 0; k < adding; k++) {
        while (i < have && chain[i].offset < added[k].offset)
            i++;
        fresh += i == have || chain[i].offset != added[k].offset;
    }
    if (fresh > room - have)
        return 0;
    // Merged from the back, so that nothing is moved before it is read.
    unsigned i = have, k = adding, to = have + fresh;
    while (k > 0) {
        if (i > 0 && chain[i - 1].offset > added[k - 1].offset) {
            chain[--to] = chain[--i];
            continue;
        }
        if (i > 0 && chain[i - 1].offset == added[k - 1].offset)
            i--;
        chain[--to] = added[--k];
    }
    *count = have + fresh;
    return 1;
}

void ChainedBytes(const PatchRecord* chain, unsigned count, const unsigned char* bytes, const PatchContents& patch,
                  unsigned char* oldBytes)
{
    for (unsigned i = 0, k = 0; k < patch.distinct && i < count; i++)
        if (chain[i].offset == patch.positions[k].offset)
            oldBytes[k++] = bytes[i];
}

void LayChained(const PatchRecord* chain, unsigned count, unsigned char* bytes, const PatchContents& patch)
{
    for (unsigned i = 0, k = 0; k < patch.distinct && i < count; i++)
        if (chain[i].offset == patch.positions[k].offset)
            bytes[i] = patch.positions[k++].value;
}
