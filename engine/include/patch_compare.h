#ifndef MORVEX_PATCH_COMPARE_H
#define MORVEX_PATCH_COMPARE_H

#include "patch_format.h"

#include <cstddef>

// Offsets are stored as signed 32-bit positions, so inputs stay below 2 GiB.
inline constexpr long long MAX_INPUT_SIZE = 0x7FFFFFFFLL;

// What making a patch says before any byte is read: a file not chosen (its
// path NULL or empty), or inputs of different sizes or too large to compare.
// NULL when the comparison can start.
const char* UnchosenInput(const char* originalPath, const char* modifiedPath);
const char* InputSizesProblem(long long originalSize, long long modifiedSize);

// Appends to `records` (room for MAX_PATCH_RECORDS, `*count` used) a record
// for every byte where the two blocks of `length` bytes differ, the block
// starting at `offset` in the files. Returns 0 when the list is full.
int CompareBlocks(const unsigned char* original, const unsigned char* modified, size_t length, long long offset,
                  PatchRecord* records, unsigned* count);

#endif
