// known_folders.h
//
// The folders a log file name may refer to by variable. Each returns a UTF-8 path and
// throws when the folder cannot be determined, so callers can skip just that variable.
#pragma once

#include <string>

namespace zelph::sys {

// The temporary folder with a trailing '/'. Throws std::filesystem::filesystem_error.
std::string TempFolder();
// The machine-wide folder for application data. Throws std::runtime_error.
std::string CommonAppDataFolder();
// The user's home folder: $HOME, else the password database. Throws std::runtime_error.
std::string UserProfileFolder();
// $XDG_DOCUMENTS_DIR, else "Documents" in the home folder. Throws std::runtime_error.
std::string UserDocumentsFolder();

}  // namespace zelph::sys
