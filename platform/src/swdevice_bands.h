// Splits a draw's rows into two bands, drawn by the calling thread and one
// worker. Each pixel belongs to exactly one band and each band draws its
// primitives in order, so the result is the same as drawing on one thread.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace swdevice::detail {

class BandRunner {
public:
    BandRunner() = default;
    ~BandRunner();
    BandRunner(const BandRunner&) = delete;
    BandRunner& operator=(const BandRunner&) = delete;

    // draw(top, bottom) for [top, middle) here and [middle, bottom) on the
    // worker, started on first use; returns when both are done.
    void RunSplit(const std::function<void(int, int)>& draw, int top, int bottom);

private:
    void WorkerLoop();

    std::thread m_worker;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    const std::function<void(int, int)>* m_job = nullptr;  // set by RunSplit, cleared by the worker when done
    int m_top = 0;
    int m_bottom = 0;
    bool m_stopping = false;
};

}  // namespace swdevice::detail
