#ifndef MORVEX_PATCH_CORE_H
#define MORVEX_PATCH_CORE_H

// Applying a patch over memory: how it meets a file's bytes, the patched
// bytes of a window of the file, the patch that undoes it, and several
// patches applied in turn. No file, path or words for a person here: every
// front end reads the bytes its own way and words the results itself.
#include "patch_reader.h"

enum { FIT_NOT_APPLIED, FIT_APPLIED, FIT_PARTLY_APPLIED, FIT_PAST_END };

struct PatchFit {
    int state;
    unsigned applied;    // positions that already hold their new value
    long long fileSize;
    TargetName fileName; // the target name that the file's own path gives
    int sameName;        // whether fileName is the patch's target name
    long otherNames;     // after an apply: other hard links to the replaced file, which keep the old contents
    int noted;           // after an apply: it succeeded, but its problem holds a note (old contents left behind)
    int journal;         // JOURNAL_NONE, or what a journal an apply in place left beside the file held
    char journalPatch[1024]; // the patch of that interrupted apply, as it was given
    int unlocked;        // in place: the system gave no lock, so a second Morvex was not kept out
    int lostPrivileges;  // in place: the system took setuid/setgid bits or file capabilities on writing
};

// What the journal of an apply in place that did not finish meant: none was
// there, the apply finished it first, or (a check) it is there still.
enum { JOURNAL_NONE, JOURNAL_FINISHED, JOURNAL_INTERRUPTED };

// Whether a record lies past the end of a file of `size` bytes.
int PastTheEnd(const PatchContents& patch, long long size);

// How the patch meets a file of fit->fileSize bytes named fit->fileName:
// sets state, applied and sameName. `oldBytes[i]` is the file's byte at
// patch.positions[i]; not read when a position is past the end (FIT_PAST_END).
void JudgeFit(const PatchContents& patch, const unsigned char* oldBytes, PatchFit* fit);

// Puts each of the `count` positions (ascending) that lies in the window of
// `length` bytes found at `at` in the file into `window`, as its new value.
// Returns how many it put.
unsigned LayPositions(const PatchRecord* positions, unsigned count, long long at, unsigned char* window, size_t length);

// The opposite: takes into `bytes[i]` the window's byte at positions[i], for
// each position in the window. Returns how many it took.
unsigned TakeBytes(const PatchRecord* positions, unsigned count, long long at, const unsigned char* window,
                   size_t length, unsigned char* bytes);

// Lays out in `out` (MAX_PATCH_SIZE bytes) the patch for `name` that puts
// back `oldBytes[i]` at each of the `count` positions (ascending) where it is
// not the new value, `comment` (in the patch's code page, at most 255 bytes
// kept) after the records. Returns its length, or 0 when more than
// MAX_PATCH_RECORDS bytes change.
size_t EncodeUndo(const TargetName& name, const PatchRecord* positions, unsigned count,
                  const unsigned char* oldBytes, const char* comment, unsigned char* out);

// Patches applied in turn as one list of positions: merges `patch`'s
// positions into `chain` (`*count` used, room for `room`, ascending), each
// position taking the value of the patch merged last. Returns 0, changing
// nothing, when the list would not fit.
int ChainPatch(PatchRecord* chain, unsigned* count, unsigned room, const PatchContents& patch);

// The bytes at patch.positions, taken from `bytes[i]` at chain[i] for a chain
// that holds every one of them (see ChainPatch): the old bytes a patch meets
// when it is applied after those before it. `bytes` being the file's own,
// then laid over by each patch with LayChained, gives each patch in turn
// what it meets.
void ChainedBytes(const PatchRecord* chain, unsigned count, const unsigned char* bytes, const PatchContents& patch,
                  unsigned char* oldBytes);

// Puts `patch`'s new values into `bytes[i]` at chain[i].
void LayChained(const PatchRecord* chain, unsigned count, unsigned char* bytes, const PatchContents& patch);

#endif
