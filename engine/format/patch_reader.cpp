#include "patch_reader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

const char PatchTooLarge[] = "larger than 1 MiB: not a patch";

static uint32_t GetLittleEndian(const unsigned char* in, int size)
{
    uint32_t value = 0;
    for (int i = size - 1; i >= 0; i--)
        value = (value << 8) | in[i];
    return value;
}

static bool ByOffset(const PatchRecord& a, const PatchRecord& b)
{
    return a.offset < b.offset;
}

int ReadPatchBytes(const unsigned char* bytes, size_t length, unsigned codePage, PatchSpace* space,
                   PatchContents* patch, char* refusal)
{
    PatchRecord* records = space->records;
    PatchRecord* positions = space->positions;
    if (length < PATCH_HEADER_SIZE) {
        snprintf(refusal, REFUSAL_SIZE, "shorter than the %d-byte header", PATCH_HEADER_SIZE);
        return 0;
    }
    if (bytes[TARGET_NAME_SIZE - 1] != 0) {
        snprintf(refusal, REFUSAL_SIZE, "the target name's 13th byte is not 0");
        return 0;
    }
    unsigned count = GetLittleEndian(bytes + TARGET_NAME_SIZE, 2);
    size_t present = (length - PATCH_HEADER_SIZE) / PATCH_RECORD_SIZE;
    if (present < count) {
        snprintf(refusal, REFUSAL_SIZE, "truncated: %u records promised, %u present", count,
                 static_cast<unsigned>(present));
        return 0;
    }
    const unsigned char* in = bytes + PATCH_HEADER_SIZE;
    for (unsigned i = 0; i < count; i++, in += PATCH_RECORD_SIZE) {
        PatchRecord& record = records[i];
        record.offset = GetLittleEndian(in, 4);
        record.marker = in[4];
        record.value = in[5];
        if (record.marker != PATCH_RECORD_MARKER) {
            snprintf(refusal, REFUSAL_SIZE, "record %u: marker 0x%02X, not 0x01", i + 1, record.marker);
            return 0;
        }
        if (record.offset >= 0x80000000u) {
            snprintf(refusal, REFUSAL_SIZE, "record %u: offset 0x%08X is 2 GiB or more", i + 1,
                     static_cast<unsigned>(record.offset));
            return 0;
        }
    }

    // Sorted by offset, a position named twice shows up as neighbours.
    memcpy(positions, records, count * sizeof(PatchRecord));
    std::sort(positions, positions + count, ByOffset);
    unsigned distinct = 0;
    for (unsigned i = 0; i < count; i++) {
        if (distinct > 0 && positions[distinct - 1].offset == positions[i].offset) {
            if (positions[distinct - 1].value != positions[i].value) {
                snprintf(refusal, REFUSAL_SIZE, "offset 0x%08X is given twice, as %02X and as %02X",
                         static_cast<unsigned>(positions[i].offset), positions[distinct - 1].value,
                         positions[i].value);
                return 0;
            }
            continue;
        }
        positions[distinct++] = positions[i];
    }

    patch->codePage = codePage;
    memcpy(patch->name.bytes, bytes, TARGET_NAME_SIZE);
    patch->count = count;
    patch->records = records;
    patch->distinct = distinct;
    patch->positions = positions;
    patch->comment = in;
    patch->commentLength = length - static_cast<size_t>(in - bytes);
    return 1;
}
