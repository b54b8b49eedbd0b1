#include "platform.h"

#include <system_error>
#include <thread>

void RunInParallel(void (*work)(void*), void* first, void* second)
{
    // std::thread says that it could not start a thread only by throwing.
    std::thread thread;
    try {
        thread = std::thread(work, first);
    } catch (const std::system_error&) {
        work(first);
    }
    work(second);
    if (thread.joinable())
        thread.join();
}
