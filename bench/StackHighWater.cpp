#include "StackHighWater.h"

#include <pthread.h>
#include <sys/mman.h>

#include <cstring>

namespace nbbench {
namespace {

constexpr unsigned char kPaint = 0xA5;

void* RunWork(void* work) {
    (*static_cast<const std::function<void()>*>(work))();
    return nullptr;
}

}  // namespace

StackHighWater::StackHighWater(size_t stackBytes) : m_nStackBytes(stackBytes) {}

size_t StackHighWater::Run(const std::function<void()>& work) {
    void* stack = ::mmap(nullptr, m_nStackBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (stack == MAP_FAILED) return 0;
    std::memset(stack, kPaint, m_nStackBytes);
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstack(&attr, stack, m_nStackBytes);
    pthread_t thread;
    size_t used = 0;
    if (pthread_create(&thread, &attr, RunWork, const_cast<std::function<void()>*>(&work)) == 0) {
        pthread_join(thread, nullptr);
        // The stack grows down: the first byte from the bottom that lost the paint marks
        // the deepest point reached.
        const auto* bytes = static_cast<const unsigned char*>(stack);
        size_t untouched = 0;
        while (untouched < m_nStackBytes && bytes[untouched] == kPaint) ++untouched;
        used = m_nStackBytes - untouched;
    }
    pthread_attr_destroy(&attr);
    ::munmap(stack, m_nStackBytes);
    return used;
}

}  // namespace nbbench
