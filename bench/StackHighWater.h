#pragma once
#include <cstddef>
#include <functional>

namespace nbbench {

// Runs a function on a thread of its own whose stack is painted with a pattern first, and
// tells how deep the function went into that stack: the bytes no longer holding the
// pattern. The thread's own bookkeeping at the top of the stack is counted too; it is the
// same for every run, so figures compare.
class StackHighWater {
public:
    explicit StackHighWater(size_t stackBytes = 16u << 20);
    // The bytes of stack used; 0 when the thread could not be started.
    size_t Run(const std::function<void()>& work);

private:
    size_t m_nStackBytes;
};

}  // namespace nbbench
