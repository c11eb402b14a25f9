#include "statistics.h"

#include <algorithm>
#include <cstdio>

FrameDraws SummariseDraws(const std::vector<swdevice::DrawRecord>& log) {
    FrameDraws draws;
    draws.calls = log.size();
    for (const swdevice::DrawRecord& record : log) {
        draws.primitives += record.primitiveCount;
        if (!record.technique.empty()) ++draws.callsByTechnique[record.technique];
    }
    return draws;
}

void RunStatistics::AddFrame(float time, unsigned int liveParticles, const FrameDraws& draws) {
    if (m_frames == 0 || liveParticles > m_peakParticles) {
        m_peakParticles = liveParticles;
        m_peakTime = time;
    }
    m_fewestDraws = m_frames == 0 ? draws.calls : std::min(m_fewestDraws, draws.calls);
    m_mostDraws = std::max(m_mostDraws, draws.calls);
    m_totalDraws += draws.calls;
    m_totalPrimitives += draws.primitives;
    for (const auto& entry : draws.callsByTechnique) m_callsByTechnique[entry.first] += entry.second;
    ++m_frames;
}

void RunStatistics::PrintSummary() const {
    double frames = m_frames ? static_cast<double>(m_frames) : 1.0;
    std::printf("summary:\n");
    std::printf("  frames           %u\n", m_frames);
    std::printf("  peak particles   %u at %.2f s\n", m_peakParticles, m_peakTime);
    std::printf("  draw calls/frame min %zu, mean %.2f, max %zu (total %llu)\n", m_fewestDraws,
                m_totalDraws / frames, m_mostDraws, m_totalDraws);
    std::printf("  primitives/frame mean %.1f\n", m_totalPrimitives / frames);
    for (const auto& entry : m_callsByTechnique)
        std::printf("  effect technique %s: %llu draw calls\n", entry.first.c_str(), entry.second);
}

void PrintProgressLine(float time, const CParticleSystemManager& manager, const FrameDraws& draws) {
    std::printf("%6.2f s  live %6u  draws %3zu  primitives %7llu  |", time, manager.GetActiveParticleCount(),
                draws.calls, draws.primitives);
    const char* separator = " ";
    for (const auto& entry : manager.GetManagedClasses()) {
        if (!entry.second) continue;
        std::printf("%s%s %u", separator, entry.first.GetString(), entry.second->GetParticleCount());
        separator = ", ";
    }
    std::printf("\n");
}
