// Threads and mutexes for the network code, on the standard library.
#pragma once

#include <cstdint>
#include <mutex>

namespace quillon {

using HThreadID = int32_t;
using HTmutex = std::mutex;

// Runs function(data) on a new thread; its id for htThreadJoin, or -1 when none could start.
HThreadID htThreadCreate(void (*function)(void*), void* data);
// Waits for the thread to end; an unknown id returns at once.
void htThreadJoin(HThreadID thread);
void htThreadSleep(int32_t milliseconds);

inline void htMutexInit(HTmutex*) {}
inline void htMutexLock(HTmutex* mutex) { mutex->lock(); }
inline void htMutexUnlock(HTmutex* mutex) { mutex->unlock(); }
inline void htMutexDestroy(HTmutex*) {}

}  // namespace quillon
