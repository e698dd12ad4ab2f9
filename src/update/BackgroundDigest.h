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

// Feeds a digest on a thread of its own, so that a transfer goes on receiving while what it
// received is hashed: the two overlap instead of adding up. The transfer's small blocks are
// gathered into chunks of about a MiB and only whole chunks change hands, so the threads meet
// a few times per MiB rather than once per block. Bytes are hashed in the order given; at most
// a few MiB wait, beyond that Update waits for the hasher. Between Wait() and the next Update
// the digest belongs to the caller again.
class BackgroundDigest {
public:
    explicit BackgroundDigest(platform::Digest& digest);
    ~BackgroundDigest();
    BackgroundDigest(const BackgroundDigest&) = delete;
    BackgroundDigest& operator=(const BackgroundDigest&) = delete;

    void Update(const char* data, size_t size);
    // Returns once every byte given so far is in the digest.
    void Wait();

private:
    void Run();
    // Hands the chunk being filled to the hasher.
    void Hand();

    platform::Digest& m_digest;
    std::vector<char> m_filling;  // the caller's side only: gathers blocks into a chunk

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::vector<char>> m_chunks;
    std::vector<std::vector<char>> m_spare;  // hashed chunks, reused for later ones
    size_t m_queuedChunks = 0;               // handed over and not hashed yet
    bool m_hasherWaits = false;
    bool m_callerWaits = false;
    bool m_ending = false;
    std::thread m_thread;
};

}  // namespace nb
