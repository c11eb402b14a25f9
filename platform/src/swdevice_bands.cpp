#include "swdevice_bands.h"

namespace swdevice::detail {

BandRunner::~BandRunner() {
    if (!m_worker.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    m_worker.join();
}

void BandRunner::RunSplit(const std::function<void(int, int)>& draw, int top, int bottom) {
    const int middle = top + (bottom - top) / 2;
    if (!m_worker.joinable()) m_worker = std::thread(&BandRunner::WorkerLoop, this);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_job = &draw;
        m_top = middle;
        m_bottom = bottom;
    }
    m_changed.notify_all();
    draw(top, middle);
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return m_job == nullptr; });
}

void BandRunner::WorkerLoop() {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_stopping || m_job != nullptr; });
        if (m_stopping) return;
        const auto* job = m_job;
        const int top = m_top, bottom = m_bottom;
        lock.unlock();
        (*job)(top, bottom);
        lock.lock();
        m_job = nullptr;
        m_changed.notify_all();
    }
}

}  // namespace swdevice::detail
