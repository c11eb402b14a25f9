// Collects the library's error reports through its report hook, so that the
// host can show its user what was wrong with a document.
#pragma once

#include <string>
#include <vector>

struct LoadReport {
    std::string sourceFile;
    long line;
    int messageId;  // 0 for reports without a string-table entry
    std::string description;
};

// Installs the hook while it lives; reports raised meanwhile are kept in order.
class LoadReportCollector {
public:
    LoadReportCollector();
    ~LoadReportCollector();
    LoadReportCollector(const LoadReportCollector&) = delete;
    LoadReportCollector& operator=(const LoadReportCollector&) = delete;

    const std::vector<LoadReport>& Reports() const { return m_reports; }

private:
    static void Hook(const char* sourceFile, long line, int messageId, const char* description, void* user);

    std::vector<LoadReport> m_reports;
};
