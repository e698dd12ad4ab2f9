#pragma once
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace nb {

namespace platform {
class Digest;
}

// Feeds a digest on a thread of its own, so that a transfer hands each block over and goes
// on receiving while the block is hashed: the two overlap instead of adding up. Blocks are
// hashed in the order given. At most a few MiB wait; beyond that Update waits for the hasher.
// Between Wait() and the next Update the digest belongs to the caller again.
class BackgroundDigest {
public:
    explicit BackgroundDigest(platform::Digest& digest);
    ~BackgroundDigest();
    BackgroundDigest(const BackgroundDigest&) = delete;
    BackgroundDigest& operator=(const BackgroundDigest&) = delete;

    void Update(const char* data, size_t size);
    // Returns once every block given so far is in the digest.
    void Wait();

private:
    void Run();

    platform::Digest& m_digest;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::vector<char>> m_blocks;
    std::vector<std::vector<char>> m_spare;  // hashed blocks, reused for later ones
    size_t m_queuedBytes = 0;
    bool m_busy = false;  // the hasher holds a block outside the queue
    bool m_ending = false;
    std::thread m_thread;
};

}  // namespace nb
