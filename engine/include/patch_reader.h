#ifndef MORVEX_PATCH_READER_H
#define MORVEX_PATCH_READER_H

#include "patch_format.h"

#include <cstddef>

// No patch Morvex can read is larger: 65535 records and a long comment.
enum { MAX_READ_PATCH_SIZE = 1 << 20, REFUSAL_SIZE = 160 };

// What a file too large to be a patch is told.
extern const char PatchTooLarge[];

// A patch file taken apart. `records` keeps the file's order; `positions`
// holds each offset once, in ascending order, for reading and writing the
// target in one sweep. Both arrays point into the caller's PatchSpace, the
// comment into the bytes read, and stay valid as long as those do.
struct PatchContents {
    unsigned codePage; // the code page its text is in (see patch_text.h)
    TargetName name;
    unsigned count;
    const PatchRecord* records;
    unsigned distinct;
    const PatchRecord* positions;
    const unsigned char* comment;
    size_t commentLength;
};

// Where a patch read from a file keeps its bytes and records: the caller's,
// one per patch in use. Too large for a thread's stack.
struct PatchSpace {
    unsigned char bytes[MAX_READ_PATCH_SIZE];
    PatchRecord records[MAX_PATCH_RECORDS];
    PatchRecord positions[MAX_PATCH_RECORDS];
};

// Validates a whole patch file's bytes before any of them is used. Returns 1
// and fills `patch`, its records laid out in `space`, its text taken to be
// in `codePage`, or 0 with the first problem in `refusal` (REFUSAL_SIZE bytes).
int ReadPatchBytes(const unsigned char* bytes, size_t length, unsigned codePage, PatchSpace* space,
                   PatchContents* patch, char* refusal);

#endif
