// Per-frame figures of a run: live particles and the draw log, a progress
// line per simulated second, and the summary at the end.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include <Pyrelune.h>
#include <platform/swdevice.h>

struct FrameDraws {
    size_t calls = 0;
    unsigned long long primitives = 0;
    std::map<std::string, size_t> callsByTechnique;  // effect draws only
};

FrameDraws SummariseDraws(const std::vector<swdevice::DrawRecord>& log);

class RunStatistics {
public:
    void AddFrame(float time, unsigned int liveParticles, const FrameDraws& draws);
    void PrintSummary() const;

private:
    unsigned int m_frames = 0;
    unsigned int m_peakParticles = 0;
    float m_peakTime = 0.0f;
    size_t m_fewestDraws = 0;
    size_t m_mostDraws = 0;
    unsigned long long m_totalDraws = 0;
    unsigned long long m_totalPrimitives = 0;
    std::map<std::string, unsigned long long> m_callsByTechnique;
};

// "  1.00 s  live   245  draws  3  primitives   490  | embers 45, flames 200"
void PrintProgressLine(float time, const CParticleSystemManager& manager, const FrameDraws& draws);
