#include "loadreports.h"

#include <Pyrelune.h>

LoadReportCollector::LoadReportCollector() { Vastrel::Utils::SetErrorReportHook(&LoadReportCollector::Hook, this); }

LoadReportCollector::~LoadReportCollector() { Vastrel::Utils::SetErrorReportHook(nullptr, nullptr); }

void LoadReportCollector::Hook(const char* sourceFile, long line, int messageId, const char* description,
                               void* user) {
    static_cast<LoadReportCollector*>(user)->m_reports.push_back(
        {sourceFile ? sourceFile : "", line, messageId, description ? description : ""});
}
