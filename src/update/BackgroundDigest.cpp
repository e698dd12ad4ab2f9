#include "update/BackgroundDigest.h"

#include "platform/Digest.h"

namespace nb {
namespace {
constexpr size_t kMaxQueuedBytes = 8u << 20;
}  // namespace

BackgroundDigest::BackgroundDigest(platform::Digest& digest) : m_digest(digest), m_thread([this] { Run(); }) {}

BackgroundDigest::~BackgroundDigest() {
    {
        std::lock_guard lock(m_mutex);
        m_ending = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void BackgroundDigest::Update(const char* data, size_t size) {
    if (size == 0) return;
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_queuedBytes < kMaxQueuedBytes; });
    std::vector<char> block;
    if (!m_spare.empty()) {
        block = std::move(m_spare.back());
        m_spare.pop_back();
    }
    block.assign(data, data + size);
    m_queuedBytes += size;
    m_blocks.push_back(std::move(block));
    lock.unlock();
    m_changed.notify_all();
}

void BackgroundDigest::Wait() {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_blocks.empty() && !m_busy; });
}

void BackgroundDigest::Run() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_ending || !m_blocks.empty(); });
        if (m_blocks.empty()) return;  // ending, and everything given is hashed
        std::vector<char> block = std::move(m_blocks.front());
        m_blocks.pop_front();
        m_busy = true;
        lock.unlock();
        m_digest.Update(block.data(), block.size());
        lock.lock();
        m_busy = false;
        m_queuedBytes -= block.size();
        if (m_spare.size() < 8) m_spare.push_back(std::move(block));
        m_changed.notify_all();
    }
}

}  // namespace nb
