// Command-line parsing shared by the hosts: "--name value" or
// "--name=value" options looked up in a table, and locale-free numbers.
#pragma once

#include <cstddef>
#include <string>

// from_chars ignores the locale, so "1.5" means the same everywhere.
bool ParseUnsigned(const std::string& text, unsigned int low, unsigned int high, unsigned int& value);
bool ParseFiniteFloat(const std::string& text, float& value);
// "a,b,c" into its three parts; false without exactly two commas.
bool SplitThree(const std::string& text, std::string parts[3]);
// Non-empty text.
bool ParsePath(const std::string& text, std::string& path);

template <typename Options>
struct OptionRow {
    const char* name;
    const char* expects;  // completes "expected ..."
    bool (*apply)(const std::string& text, Options& options);
};

// Splits argv[index] into name and value, taking the value from the next
// argument when it is not inline; index moves past what was used.
void SplitOption(int argc, char** argv, int& index, std::string& name, std::string& value, bool& hasValue);

// Applies one option from the table; false, with the reason in error, for
// an unknown name, a missing value or a value the row rejects.
template <typename Options, size_t N>
bool ApplyOption(const OptionRow<Options> (&table)[N], int argc, char** argv, int& index, Options& options,
                 std::string& error) {
    std::string name, value;
    bool hasValue = false;
    SplitOption(argc, argv, index, name, value, hasValue);
    for (const OptionRow<Options>& row : table) {
        if (name != row.name) continue;
        if (!hasValue) error = "option " + name + " needs " + row.expects;
        else if (!row.apply(value, options))
            error = "bad value '" + value + "' for " + name + ": expected " + row.expects;
        return hasValue && error.empty();
    }
    error = "unknown option '" + name + "'";
    return false;
}
