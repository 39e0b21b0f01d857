#ifndef VESKO_FILEUTIL_HXX
#define VESKO_FILEUTIL_HXX

#include <string>

// Small file helpers for the interface thread.
namespace fileutil
{
// The user's home directory, or "" when HOME is unset.
std::string home();

// mkdir with mode 0775: 0 created, 1 already there, -1 failed (errno set).
int makeDirectory(const std::string& path);

// Writes text to path through a temporary file in the same directory that is renamed into
// place only once complete, so a failed write never destroys the file that was there.
// Returns false (errno set) when anything fails; the old file is then untouched.
bool writeFileAtomically(const std::string& path, const std::string& text);

// Reads a whole file; false when it cannot be opened or read.
bool readFile(const std::string& path, std::string& text);
} // namespace fileutil

#endif
