#include "update/BackgroundDigest.h"

#include <algorithm>

#include "platform/Digest.h"

namespace nb {
namespace {
constexpr size_t kChunkBytes = 1u << 20;
constexpr size_t kMaxQueuedChunks = 8;
}  // namespace

BackgroundDigest::BackgroundDigest(platform::Digest& digest) : m_digest(digest), m_thread([this] { Run(); }) {
    m_filling.reserve(kChunkBytes);
}

BackgroundDigest::~BackgroundDigest() {
    {
        std::lock_guard lock(m_mutex);
        m_ending = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void BackgroundDigest::Update(const char* data, size_t size) {
    while (size > 0) {
        const size_t take = std::min(size, kChunkBytes - m_filling.size());
        m_filling.insert(m_filling.end(), data, data + take);
        data += take;
        size -= take;
        if (m_filling.size() == kChunkBytes) Hand();
    }
}

void BackgroundDigest::Hand() {
    std::unique_lock lock(m_mutex);
    m_callerWaits = true;
    m_changed.wait(lock, [this] { return m_queuedChunks < kMaxQueuedChunks; });
    m_callerWaits = false;
    m_chunks.push_back(std::move(m_filling));
    ++m_queuedChunks;
    if (!m_spare.empty()) {
        m_filling = std::move(m_spare.back());
        m_spare.pop_back();
    } else {
        m_filling = std::vector<char>();
        m_filling.reserve(kChunkBytes);
    }
    m_filling.clear();
    const bool wake = m_hasherWaits;
    lock.unlock();
    if (wake) m_changed.notify_all();
}

void BackgroundDigest::Wait() {
    if (!m_filling.empty()) Hand();
    std::unique_lock lock(m_mutex);
    m_callerWaits = true;
    m_changed.wait(lock, [this] { return m_queuedChunks == 0; });
    m_callerWaits = false;
}

void BackgroundDigest::Run() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_hasherWaits = true;
        m_changed.wait(lock, [this] { return m_ending || !m_chunks.empty(); });
        m_hasherWaits = false;
        if (m_chunks.empty()) return;  // ending, and everything given is hashed
        std::vector<char> chunk = std::move(m_chunks.front());
        m_chunks.pop_front();
        lock.unlock();
        m_digest.Update(chunk.data(), chunk.size());
        lock.lock();
        --m_queuedChunks;
        chunk.clear();
        if (m_spare.size() < 2) m_spare.push_back(std::move(chunk));
        if (m_callerWaits) m_changed.notify_all();
    }
}

}  // namespace nb
