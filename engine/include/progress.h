#ifndef MORVEX_PROGRESS_H
#define MORVEX_PROGRESS_H

#include <atomic>

// How a front end that runs long work on another thread follows it and stops
// it. The work calls Advance between steps; once `cancel` is set, from any
// thread, the work stops at its next step, leaves every file as it was and
// reports the problem Cancelled.
struct Progress {
    void (*report)(void* context, long long done, long long total); // NULL: not followed
    void* context;
    std::atomic<int> cancel;
};

extern const char Cancelled[];

// Reports `done` of `total`; returns 0 when the work is to stop. `progress` may be NULL.
int Advance(Progress* progress, long long done, long long total);

#endif
