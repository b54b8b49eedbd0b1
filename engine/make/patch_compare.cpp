#include "patch_compare.h"

#include "make_messages.h"

#include <algorithm>
#include <cstring>

// The range is compared in spans of 4 KiB, a span that differs in chunks of
// 64 bytes, and only a chunk that differs byte by byte, so equal data is read
// once.
static int CollectDifferences(const unsigned char* original, const unsigned char* modified, size_t begin,
                              size_t end, int level, long long offset, PatchRecord* records, unsigned* count)
{
    static const size_t SpanSizes[] = {4096, 64, 1};
    for (size_t at = begin; at < end; at += SpanSizes[level]) {
        size_t spanEnd = std::min(end, at + SpanSizes[level]);
        if (memcmp(original + at, modified + at, spanEnd - at) == 0)
            continue;
        if (SpanSizes[level] > 1) {
            if (!CollectDifferences(original, modified, at, spanEnd, level + 1, offset, records, count))
                return 0;
            continue;
        }
        if (*count == MAX_PATCH_RECORDS)
            return 0;
        PatchRecord& record = records[(*count)++];
        record.offset = static_cast<uint32_t>(offset + static_cast<long long>(at));
        record.marker = PATCH_RECORD_MARKER;
        record.value = modified[at];
    }
    return 1;
}

int CompareBlocks(const unsigned char* original, const unsigned char* modified, size_t length, long long offset,
                  PatchRecord* records, unsigned* count)
{
    return CollectDifferences(original, modified, 0, length, 0, offset, records, count);
}

const char* UnchosenInput(const char* originalPath, const char* modifiedPath)
{
    if (!originalPath || !originalPath[0])
        return ErrorNoOriginal;
    return !modifiedPath || !modifiedPath[0] ? ErrorNoModified : NULL;
}

const char* InputSizesProblem(long long originalSize, long long modifiedSize)
{
    if (originalSize != modifiedSize)
        return ErrorSizesDiffer;
    return originalSize > MAX_INPUT_SIZE ? ErrorTooLarge : NULL;
}
