#include "UtilsSrc/utility.h"

#include <string>
#include <vector>

#include "platform/crt_rand.h"

namespace Vastrel {
namespace Utils {
namespace {

std::string WithBackslashes(const CString& path) {
    std::string text = path.str();
    for (char& ch : text) {
        if (ch == '/') ch = '\\';
    }
    return text;
}

char CharAt(const std::string& text, size_t index) { return index < text.size() ? text[index] : '\0'; }

bool IsUnc(const std::string& path) { return CharAt(path, 0) == '\\' && CharAt(path, 1) == '\\'; }

bool HasDrive(const std::string& path) { return CharAt(path, 0) != '\0' && CharAt(path, 1) == ':'; }

bool IsRooted(const std::string& path) { return CharAt(path, 0) == '\\' || HasDrive(path); }

// "\\", "\", "X:\" or "X:"; empty for a relative path.
size_t RootLength(const std::string& path) {
    if (IsUnc(path)) return 2;
    if (CharAt(path, 0) == '\\') return 1;
    if (HasDrive(path)) return CharAt(path, 2) == '\\' ? 3 : 2;
    return 0;
}

// The folder of a file name: cut at the last '\', keeping a leading root.
std::string RemoveFileSpec(const std::string& path) {
    size_t cut = IsUnc(path) ? 2 : (CharAt(path, 0) == '\\' ? 1 : 0);
    for (size_t i = cut; i < path.size(); ++i) {
        if (path[i] == '\\') {
            cut = i;
        } else if (path[i] == ':') {
            cut = CharAt(path, i + 1) == '\\' ? i + 2 : i + 1;
            i = cut - 1;
        }
    }
    return path.substr(0, cut);
}

// Length of the leading folders that both share, whole names only.
size_t CommonPrefixLength(const std::string& a, const std::string& b) {
    if (IsUnc(a) != IsUnc(b)) return 0;
    size_t common = 0;
    for (size_t i = IsUnc(a) ? 2 : 0;; ++i) {
        const char ca = CharAt(a, i);
        const char cb = CharAt(b, i);
        if ((ca == '\0' || ca == '\\') && (cb == '\0' || cb == '\\')) common = i;
        if (ca == '\0' || ca != cb) break;
    }
    const bool sharedDriveRoot = common == 2 && CharAt(a, 2) == '\\' && CharAt(b, 2) == '\\';
    return sharedDriveRoot ? 3 : common;
}

// "." for no folder left, otherwise one ".." per folder, joined by '\'.
std::string StepsUp(const std::string& folders) {
    size_t start = CharAt(folders, 0) == '\\' ? 1 : 0;
    if (start >= folders.size()) return ".";
    std::string steps;
    for (size_t next = start; next != std::string::npos; next = folders.find('\\', next + 1)) {
        steps += steps.empty() ? ".." : "\\..";
    }
    return steps;
}

std::vector<std::string> SplitFolders(const std::string& path) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t end = path.find('\\'); ; end = path.find('\\', start)) {
        parts.push_back(path.substr(start, end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return parts;
}

// Folds "." and ".." steps. A ".." that would climb above a root is dropped;
// in a relative path it is kept, since it still names a real folder.
std::string Canonicalize(const std::string& path) {
    const size_t rootLength = RootLength(path);
    std::vector<std::string> kept;
    for (const std::string& part : SplitFolders(path.substr(rootLength))) {
        if (part.empty() || part == ".") continue;
        if (part != "..") {
            kept.push_back(part);
        } else if (!kept.empty() && kept.back() != "..") {
            kept.pop_back();
        } else if (rootLength == 0) {
            kept.push_back(part);
        }
    }
    std::string result = path.substr(0, rootLength);
    for (size_t i = 0; i < kept.size(); ++i) result += (i ? "\\" : "") + kept[i];
    if (!kept.empty() && path.back() == '\\') result += '\\';
    return result.empty() ? "." : result;
}

// A rooted file stays as it is; "\x" takes the drive of a folder that has one.
std::string Combine(const std::string& folder, const std::string& file) {
    if (file.empty()) return Canonicalize(folder);
    if (IsRooted(file)) {
        const bool takesDrive = !IsUnc(file) && !HasDrive(file) && HasDrive(folder);
        return Canonicalize(takesDrive ? folder.substr(0, 2) + file : file);
    }
    if (folder.empty()) return Canonicalize(file);
    const bool hasSeparator = folder.back() == '\\';
    return Canonicalize(folder + (hasSeparator ? "" : "\\") + file);
}

// The part of the reference before its last '\'; a root keeps its '\'. A
// bare file name lies in the current folder, which adds nothing to a path.
std::string ReferenceFolder(const std::string& reference) {
    const size_t cut = reference.rfind('\\');
    if (cut == std::string::npos) return std::string();
    return reference.substr(0, cut == 0 ? 1 : cut);
}

}  // namespace

void Utility::RandomInit(int seed) { crt::srand(static_cast<unsigned int>(seed)); }

CString Utility::GetRelativePath(CString path, CString reference) {
    const std::string to = WithBackslashes(path);
    const std::string fromFolder = RemoveFileSpec(WithBackslashes(reference));
    const size_t common = CommonPrefixLength(fromFolder, RemoveFileSpec(to));
    if (common == 0) return path;
    std::string rest = to.substr(common);
    if (!rest.empty() && rest[0] != '\\') rest = to.substr(common - 1);
    return CString(StepsUp(fromFolder.substr(common)) + rest);
}

CString Utility::GetAbsolutePath(CString path, CString reference) {
    return CString(Combine(ReferenceFolder(WithBackslashes(reference)), WithBackslashes(path)));
}

CString Utility::ToNativePath(const CString& path) {
    CString native = path;
    native.Replace('\\', '/');
    return native;
}

}  // namespace Utils
}  // namespace Vastrel
