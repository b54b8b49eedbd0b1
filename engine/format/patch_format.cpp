#include "patch_format.h"

#include <cstring>

static unsigned char* PutLittleEndian(unsigned char* out, uint32_t value, int size)
{
    for (int i = 0; i < size; i++)
        *out++ = static_cast<unsigned char>(value >> (8 * i));
    return out;
}

size_t EncodePatch(unsigned char* out, const TargetName& name,
                   const PatchRecord* records, unsigned count, const char* comment)
{
    unsigned char* p = out;
    memcpy(p, name.bytes, TARGET_NAME_SIZE);
    p += TARGET_NAME_SIZE;
    p = PutLittleEndian(p, count, 2);
    for (unsigned i = 0; i < count; i++) {
        p = PutLittleEndian(p, records[i].offset, 4);
        *p++ = records[i].marker;
        *p++ = records[i].value;
    }
    size_t commentLength = strnlen(comment, MAX_COMMENT_LENGTH);
    memcpy(p, comment, commentLength);
    p += commentLength;
    return static_cast<size_t>(p - out);
}
