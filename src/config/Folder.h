// Where the product's programs find their files: the product folder and the
// per-user data folder. Both results always end with the platform's
// directory separator, and neither function throws: every failing lookup
// moves on to the next fall-back.
#pragma once

#include <string>

#include "tkl/Export.h"

namespace custovia {

// The folder the product is installed in, the first of:
//   1. the "PATH" value of group "CUSTOVIA" in the machine-wide settings of
//      the vendor "Moxtera" (the registry on Windows; on Linux the
//      system-scope settings file, Moxtera.conf in the first folder of
//      XDG_CONFIG_DIRS, /etc/xdg by default);
//   2. the folder of the running executable;
//   3. the process's current directory;
//   4. "." (a relative folder).
TKL_API std::string getProductFolder();

// The folder ".custovia" in the profile folder of the user running the
// process (on Linux the home folder: HOME when set, else the user's entry in
// the password database); the product folder when there is no profile
// folder. No folder is created.
TKL_API std::string getUserDataFolder();

}  // namespace custovia
