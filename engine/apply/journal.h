#ifndef MORVEX_JOURNAL_H
#define MORVEX_JOURNAL_H

// The rollback journal of an apply in place, over memory: what is written
// beside a file before the first byte of it changes, so that the next run
// can finish an apply that was stopped. Every record is an absolute byte,
// so writing a record twice is harmless: a journal is finished by writing
// every new value again.
//
// Layout, little-endian, offsets in bytes:
//    0  8  magic "MORVEXJ\x1A"
//    8  4  version (1)
//   12  4  the journal's whole length, checksum included
//   16  8  the file's volume (device; volume serial)
//   24  8  the file's index (inode; file index)
//   32  8  the file's size
//   40  4  N, the number of records (at most 65535)
//   44 13  the undo patch's target name
//   57  1  C, the length of the undo patch's comment
//   58  2  P, the length of the patch's path (at least 1)
//   60  2  U, the length of the undo patch's path (0: none was asked for)
//   62 6N  the records, positions ascending: offset (4), old value, new value
//       C  the undo patch's comment, as stored in it
//       P  the patch's path, as the apply was given it
//       U  the undo patch's path, absolute
//        8  FNV-1a (64 bits) of every byte before it
// A journal that is short, long, or fails any of this was never used.

#include "patch_format.h"

#include <cstddef>

enum {
    JOURNAL_HEADER_SIZE = 62,
    JOURNAL_PATH_SIZE = 1024, // room for either path, its terminator included
    MAX_JOURNAL_SIZE = JOURNAL_HEADER_SIZE + 6 * MAX_PATCH_RECORDS + MAX_COMMENT_LENGTH + 2 * (JOURNAL_PATH_SIZE - 1) + 8
};

struct JournalRecord {
    unsigned offset;
    unsigned char old, now; // the file's value before the apply, and the patch's
};

struct Journal {
    unsigned long long volume, index;
    long long size;
    TargetName name;
    unsigned count;
    JournalRecord records[MAX_PATCH_RECORDS];
    char comment[MAX_COMMENT_LENGTH + 1]; // zero-terminated, as EncodePatch takes it
    char patchPath[JOURNAL_PATH_SIZE];
    char undoPath[JOURNAL_PATH_SIZE];     // empty: no undo patch
};

// Lays out the journal in `out` (MAX_JOURNAL_SIZE bytes); returns its length,
// or 0 when a path or the comment does not fit the layout.
size_t EncodeJournal(const Journal& journal, unsigned char* out);

// Takes the journal's bytes apart, validating them whole. Returns 1, or 0
// for bytes that are no journal Morvex finished writing.
int DecodeJournal(const unsigned char* bytes, size_t length, Journal* journal);

enum { JOURNAL_FITS, JOURNAL_OTHER_FILE, JOURNAL_OTHER_BYTES };

// Whether the journal describes this file, as it is: the same volume, index
// and size, and each record's position holding its old or its new value
// (`current[i]` at records[i].offset). A record past the end is another
// file's.
int JournalFit(const Journal& journal, unsigned long long volume, unsigned long long index, long long size,
               const unsigned char* current);

// The undo patch the journal's apply writes, laid out in `out`
// (MAX_PATCH_SIZE bytes): the old value of every position the apply changes,
// gathered in `undo` (MAX_PATCH_RECORDS records).
size_t JournalUndoPatch(const Journal& journal, PatchRecord* undo, unsigned char* out);

// The journal's name beside a file named `fileName` (its last component), in
// `out` (`size` bytes, at most 256 used): with `dot`, hidden by a leading
// dot. A name too long to take the additions is shortened and told apart
// by a hash of the whole.
void JournalName(const char* fileName, int dot, char* out, size_t size);

#endif
