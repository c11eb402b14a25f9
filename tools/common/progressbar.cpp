#include "progressbar.h"

#include <cstdio>

#include <unistd.h>

namespace {

constexpr int kBarWidth = 40;
constexpr double kQuietSeconds = 1.0;

}  // namespace

ProgressBar::ProgressBar(unsigned int total)
    : m_start(std::chrono::steady_clock::now()), m_total(total), m_terminal(isatty(STDERR_FILENO) == 1) {}

ProgressBar::~ProgressBar() {
    if (m_shown) std::fputc('\n', stderr);
}

void ProgressBar::Step(unsigned int done) {
    if (!m_terminal || m_total == 0) return;
    std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - m_start;
    if (!m_shown && elapsed.count() < kQuietSeconds) return;
    m_shown = true;
    const int filled = static_cast<int>(static_cast<double>(done) * kBarWidth / m_total);
    char bar[kBarWidth + 1];
    for (int i = 0; i < kBarWidth; ++i) bar[i] = i < filled ? '#' : '.';
    bar[kBarWidth] = '\0';
    std::fprintf(stderr, "\r[%s] %3u%%  %u/%u  %.1f s", bar, done * 100 / m_total, done, m_total, elapsed.count());
    std::fflush(stderr);
}
