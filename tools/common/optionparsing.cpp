#include "optionparsing.h"

#include <charconv>
#include <cmath>

namespace {

template <typename T>
bool ParseWhole(const std::string& text, T& value) {
    const char* end = text.data() + text.size();
    std::from_chars_result result = std::from_chars(text.data(), end, value);
    return !text.empty() && result.ec == std::errc() && result.ptr == end;
}

}  // namespace

bool ParseUnsigned(const std::string& text, unsigned int low, unsigned int high, unsigned int& value) {
    unsigned long long parsed = 0;
    if (!ParseWhole(text, parsed) || parsed < low || parsed > high) return false;
    value = static_cast<unsigned int>(parsed);
    return true;
}

bool ParseFiniteFloat(const std::string& text, float& value) {
    return ParseWhole(text, value) && std::isfinite(value);
}

bool SplitThree(const std::string& text, std::string parts[3]) {
    size_t first = text.find(',');
    size_t second = first == std::string::npos ? first : text.find(',', first + 1);
    if (second == std::string::npos || text.find(',', second + 1) != std::string::npos) return false;
    parts[0] = text.substr(0, first);
    parts[1] = text.substr(first + 1, second - first - 1);
    parts[2] = text.substr(second + 1);
    return true;
}

bool ParsePath(const std::string& text, std::string& path) {
    path = text;
    return !text.empty();
}

void SplitOption(int argc, char** argv, int& index, std::string& name, std::string& value, bool& hasValue) {
    name = argv[index];
    hasValue = false;
    if (size_t equals = name.find('='); equals != std::string::npos) {
        value = name.substr(equals + 1);
        name.erase(equals);
        hasValue = true;
    } else if (index + 1 < argc) {
        value = argv[++index];
        hasValue = true;
    }
}
