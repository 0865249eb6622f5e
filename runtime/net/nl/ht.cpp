#include "runtime/net/nl/ht.h"

#include <chrono>
#include <map>
#include <system_error>
#include <thread>

namespace quillon {

namespace {

std::mutex threadsLock;
std::map<HThreadID, std::thread>& Threads() {
  static auto* threads = new std::map<HThreadID, std::thread>();
  return *threads;
}
HThreadID nextThread = 1;

}  // namespace

HThreadID htThreadCreate(void (*function)(void*), void* data) {
  std::lock_guard<std::mutex> guard(threadsLock);
  try {
    HThreadID id = nextThread++;
    Threads().emplace(id, std::thread(function, data));
    return id;
  } catch (const std::system_error&) {
    return -1;
  }
}

void htThreadJoin(HThreadID thread) {
  std::thread joining;
  {
    std::lock_guard<std::mutex> guard(threadsLock);
    auto found = Threads().find(thread);
    if (found == Threads().end()) return;
    joining = std::move(found->second);
    Threads().erase(found);
  }
  if (joining.joinable()) joining.join();
}

void htThreadSleep(int32_t milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace quillon
