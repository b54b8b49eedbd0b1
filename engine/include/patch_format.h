#ifndef MORVEX_PATCH_FORMAT_H
#define MORVEX_PATCH_FORMAT_H

#include <cstddef>
#include <cstdint>

enum {
    TARGET_NAME_SIZE = 13,
    PATCH_HEADER_SIZE = TARGET_NAME_SIZE + 2,
    PATCH_RECORD_SIZE = 6,
    PATCH_RECORD_MARKER = 0x01,
    MAX_PATCH_RECORDS = 65535,
    MAX_COMMENT_LENGTH = 255,
    MAX_PATCH_SIZE = PATCH_HEADER_SIZE + PATCH_RECORD_SIZE * MAX_PATCH_RECORDS + MAX_COMMENT_LENGTH
};

// The name of the file to be patched: at most 12 characters, zero-filled,
// so the last byte is always 0.
struct TargetName {
    char bytes[TARGET_NAME_SIZE];
};

struct PatchRecord {
    uint32_t offset;
    uint8_t marker;
    uint8_t value;
};

// Lays out a whole patch file in `out` (room for MAX_PATCH_SIZE bytes):
// name, little-endian record count, records, then the comment without a
// terminator. Returns the number of bytes laid out.
size_t EncodePatch(unsigned char* out, const TargetName& name,
                   const PatchRecord* records, unsigned count, const char* comment);

#endif
