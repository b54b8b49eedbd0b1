// The journal's layout over memory (see journal.h): no file is touched here.
#include "journal.h"

#include <cstdio>
#include <cstring>

static const unsigned char Magic[8] = {'M', 'O', 'R', 'V', 'E', 'X', 'J', 0x1A};
enum { VERSION = 1, CHECKSUM_SIZE = 8, NAME_MAX_BYTES = 255 };
static const char Suffix[] = ".morvex-journal";

static unsigned long long Checksum(const unsigned char* bytes, size_t length)
{
    unsigned long long hash = 0xcbf29ce484222325ULL;
    for (size_t i = 0; i < length; i++)
        hash = (hash ^ bytes[i]) * 0x100000001b3ULL;
    return hash;
}

static unsigned char* Put(unsigned char* out, unsigned long long value, int size)
{
    for (int i = 0; i < size; i++)
        *out++ = static_cast<unsigned char>(value >> (8 * i));
    return out;
}

static unsigned long long Get(const unsigned char* in, int size)
{
    unsigned long long value = 0;
    for (int i = size - 1; i >= 0; i--)
        value = value << 8 | in[i];
    return value;
}

size_t EncodeJournal(const Journal& journal, unsigned char* out)
{
    size_t comment = strlen(journal.comment), patch = strlen(journal.patchPath), undo = strlen(journal.undoPath);
    if (comment > MAX_COMMENT_LENGTH || !patch || patch >= JOURNAL_PATH_SIZE || undo >= JOURNAL_PATH_SIZE
        || journal.count > MAX_PATCH_RECORDS)
        return 0;
    size_t length = JOURNAL_HEADER_SIZE + 6 * journal.count + comment + patch + undo + CHECKSUM_SIZE;
    unsigned char* p = out;
    memcpy(p, Magic, sizeof Magic);
    p = Put(p + sizeof Magic, VERSION, 4);
    p = Put(p, length, 4);
    p = Put(p, journal.volume, 8);
    p = Put(p, journal.index, 8);
    p = Put(p, static_cast<unsigned long long>(journal.size), 8);
    p = Put(p, journal.count, 4);
    memcpy(p, journal.name.bytes, TARGET_NAME_SIZE);
    p = Put(p + TARGET_NAME_SIZE, comment, 1);
    p = Put(p, patch, 2);
    p = Put(p, undo, 2);
    for (unsigned i = 0; i < journal.count; i++) {
        p = Put(p, journal.records[i].offset, 4);
        *p++ = journal.records[i].old;
        *p++ = journal.records[i].now;
    }
    memcpy(p, journal.comment, comment);
    memcpy(p + comment, journal.patchPath, patch);
    memcpy(p + comment + patch, journal.undoPath, undo);
    p += comment + patch + undo;
    Put(p, Checksum(out, length - CHECKSUM_SIZE), 8);
    return length;
}

// Copies `length` bytes of text to `out` as a string; text holding a zero is refused.
static int TakeText(const unsigned char* in, size_t length, char* out)
{
    if (memchr(in, 0, length))
        return 0;
    memcpy(out, in, length);
    out[length] = '\0';
    return 1;
}

int DecodeJournal(const unsigned char* bytes, size_t length, Journal* journal)
{
    if (length < JOURNAL_HEADER_SIZE + CHECKSUM_SIZE || length > MAX_JOURNAL_SIZE
        || memcmp(bytes, Magic, sizeof Magic) != 0 || Get(bytes + 8, 4) != VERSION || Get(bytes + 12, 4) != length
        || Get(bytes + length - CHECKSUM_SIZE, 8) != Checksum(bytes, length - CHECKSUM_SIZE))
        return 0;
    journal->volume = Get(bytes + 16, 8);
    journal->index = Get(bytes + 24, 8);
    journal->size = static_cast<long long>(Get(bytes + 32, 8));
    unsigned long long count = Get(bytes + 40, 4);
    memcpy(journal->name.bytes, bytes + 44, TARGET_NAME_SIZE);
    size_t comment = bytes[57], patch = Get(bytes + 58, 2), undo = Get(bytes + 60, 2);
    if (count > MAX_PATCH_RECORDS || journal->size < 0 || journal->name.bytes[TARGET_NAME_SIZE - 1] != 0 || !patch
        || patch >= JOURNAL_PATH_SIZE || undo >= JOURNAL_PATH_SIZE
        || length != JOURNAL_HEADER_SIZE + 6 * count + comment + patch + undo + CHECKSUM_SIZE)
        return 0;
    journal->count = static_cast<unsigned>(count);
    const unsigned char* p = bytes + JOURNAL_HEADER_SIZE;
    for (unsigned i = 0; i < journal->count; i++, p += 6) {
        JournalRecord& record = journal->records[i];
        record.offset = static_cast<unsigned>(Get(p, 4));
        record.old = p[4];
        record.now = p[5];
        if ((i > 0 && record.offset <= journal->records[i - 1].offset) || record.offset >= journal->size)
            return 0;
    }
    return TakeText(p, comment, journal->comment) && TakeText(p + comment, patch, journal->patchPath)
           && TakeText(p + comment + patch, undo, journal->undoPath);
}

int JournalFit(const Journal& journal, unsigned long long volume, unsigned long long index, long long size,
               const unsigned char* current)
{
    if (journal.volume != volume || journal.index != index || journal.size != size)
        return JOURNAL_OTHER_FILE;
    for (unsigned i = 0; i < journal.count; i++)
        if (current[i] != journal.records[i].old && current[i] != journal.records[i].now)
            return JOURNAL_OTHER_BYTES;
    return JOURNAL_FITS;
}

size_t JournalUndoPatch(const Journal& journal, PatchRecord* undo, unsigned char* out)
{
    unsigned count = 0;
    for (unsigned i = 0; i < journal.count; i++)
        if (journal.records[i].old != journal.records[i].now)
            undo[count++] = {journal.records[i].offset, PATCH_RECORD_MARKER, journal.records[i].old};
    return EncodePatch(out, journal.name, undo, count, journal.comment);
}

void JournalName(const char* fileName, int dot, char* out, size_t size)
{
    size_t length = strlen(fileName), room = NAME_MAX_BYTES - (dot ? 1 : 0) - (sizeof Suffix - 1);
    if (length <= room) {
        snprintf(out, size, "%s%s%s", dot ? "." : "", fileName, Suffix);
        return;
    }
    // Cut on a character's first byte, so that a UTF-8 name stays one.
    size_t kept = room - 17;
    while (kept > 0 && (static_cast<unsigned char>(fileName[kept]) & 0xC0) == 0x80)
        kept--;
    unsigned long long hash = Checksum(reinterpret_cast<const unsigned char*>(fileName), length);
    snprintf(out, size, "%s%.*s~%016llx%s", dot ? "." : "", static_cast<int>(kept), fileName, hash, Suffix);
}
