// A one-line progress bar on standard error, for long runs watched in a
// terminal. It stays silent when stderr is not a terminal and until the
// run has taken a second, so short runs and logs stay clean.
#pragma once

#include <chrono>

class ProgressBar {
public:
    explicit ProgressBar(unsigned int total);
    ~ProgressBar();
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    void Step(unsigned int done);

private:
    std::chrono::steady_clock::time_point m_start;
    unsigned int m_total;
    bool m_terminal;
    bool m_shown = false;
};
