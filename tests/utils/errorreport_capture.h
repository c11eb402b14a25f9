// Collects error reports through the host hook for the lifetime of the object.
#pragma once

#include <string>
#include <vector>

#include "UtilsSrc/errorreport.h"

struct CapturedReport {
    std::string sourceFile;
    long line;
    int messageId;
    std::string description;
};

class ErrorReportCapture {
public:
    ErrorReportCapture() { Vastrel::Utils::SetErrorReportHook(&Collect, this); }
    ~ErrorReportCapture() { Vastrel::Utils::SetErrorReportHook(nullptr, nullptr); }
    ErrorReportCapture(const ErrorReportCapture&) = delete;
    ErrorReportCapture& operator=(const ErrorReportCapture&) = delete;

    std::vector<CapturedReport> reports;

private:
    static void Collect(const char* sourceFile, long line, int messageId, const char* description,
                        void* user) {
        static_cast<ErrorReportCapture*>(user)->reports.push_back(
            {sourceFile, line, messageId, description});
    }
};
