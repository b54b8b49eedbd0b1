#ifndef MORVEX_PATCH_COMPARE_H
#define MORVEX_PATCH_COMPARE_H

#include "patch_format.h"

#include <cstddef>

// Appends to `records` (room for MAX_PATCH_RECORDS, `*count` used) a record
// for every byte where the two blocks of `length` bytes differ, the block
// starting at `offset` in the files. Returns 0 when the list is full.
int CompareBlocks(const unsigned char* original, const unsigned char* modified, size_t length, long long offset,
                  PatchRecord* records, unsigned* count);

#endif
