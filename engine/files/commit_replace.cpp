// Committing one replacement or two as one, over each system's moves
// (commit_moves.h): the flushes, the last look, the moves, and the taking
// back of the first where the second cannot follow.
#include "commit_moves.h"

const char WrittenUnflushed[] = "written, but its folder cannot be flushed to the disk";
const char PatchedUnflushed[] = "patched, but its folder cannot be flushed to the disk";

int CommitReplace(Replacement* first, Replacement* second, Replacement** failed, Problem* problem)
{
    Replacement* all[2] = {first, second};
    int count = second ? 2 : 1;
    *failed = NULL;
    for (int i = 0; i < count && !*failed; i++)
        if (!FlushTemp(all[i], problem))
            *failed = all[i];
    // Between the last look and the last move every name changes with
    // interrupts held: an interrupt there would leave one move done.
    HoldInterrupts();
    for (int i = 0; i < count && !*failed; i++)
        if (!StillThere(all[i], problem))
            *failed = all[i];
    for (int i = 0; i < count && !*failed; i++)
        if (!ReadyToMove(all[i], problem))
            *failed = all[i];
    // The first file's old contents wait until the second is in place, and
    // come back if it cannot be.
    Moved moved[2] = {};
    if (!*failed && !MoveIntoPlace(first, second != NULL, &moved[0], problem)) {
        *failed = first;
    } else if (!*failed && second && !MoveIntoPlace(second, 0, &moved[1], problem)) {
        *failed = second;
        TakeBack(first, moved[0]);
    }
    int done = !*failed;
    for (int i = 0; i < count; i++)
        if (done)
            RemoveOld(all[i], moved[i], problem);
    // A name whose flush fails is in place, but may not outlast a power cut.
    // After a failed move, the move's reason is the one told.
    Problem later;
    for (int i = 0; i < count; i++)
        if (!EndCommit(all[i], done || all[i]->placed, done ? problem : &later) && done && !*failed)
            *failed = all[i], all[i]->unflushed = 1;
    ReleaseInterrupts();
    return !*failed;
}
