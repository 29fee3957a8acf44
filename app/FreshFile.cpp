#include "app/FreshFile.h"

#include <windows.h>

UniqueFileHandle CreateFreshFile(const std::string& path) {
    // Truncating an existing name would write through a hard link that
    // someone planted there into the file it names; a new file cannot.
    ::DeleteFileA(path.c_str());
    return UniqueFileHandle(::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
}
