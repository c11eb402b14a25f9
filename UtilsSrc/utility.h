// Seeding the shared random generator and the relative file paths that
// definition documents store.
//
// Paths are written with '\' as on the platform the documents come from:
// both path functions first turn every '/' into '\', and ToNativePath turns
// a result back into a name that this platform's file functions accept.
// Folder names are compared case-sensitively, as this platform's file
// systems tell "Tex" and "tex" apart.
#pragma once

#include "platform/cstring.h"
#include "UtilsSrc/pyrelune_api.h"

namespace Vastrel {
namespace Utils {

class PYRELUNE_API Utility {
public:
    // Seeds the C runtime generator that every random draw of the library uses.
    static void RandomInit(int seed);

    // path relative to the folder of the file reference: ".\..." or "..\...".
    // Returns path unchanged when the two share no leading folder.
    static CString GetRelativePath(CString path, CString reference);

    // path resolved against the folder of the file reference, with "." and
    // ".." steps folded away. A reference without '\' is used whole.
    static CString GetAbsolutePath(CString path, CString reference);

    // The same name with '/' separators, for opening files on this platform.
    static CString ToNativePath(const CString& path);
};

}  // namespace Utils
}  // namespace Vastrel
