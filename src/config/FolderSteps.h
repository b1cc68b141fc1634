// Internal parts of the folder locator: the platform lookups (one source
// file per platform) and the portable fall-back chain.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace tkl {
class Settings;
}

namespace custovia {
namespace detail {

// Opens the machine-wide settings of the vendor on `settings`. Throws a
// tkl::Exception when the store cannot be opened.
void openProductSettings(tkl::Settings& settings);

// The profile folder of the user running the process, empty when the
// platform has none for this user. May throw.
std::string userProfileFolder();

// One lookup of a fall-back chain; an empty result or an exception means
// "not found here".
using FolderStep = std::function<std::string()>;

// The result of the first step that returns a non-empty text; the empty text
// when none does. Exceptions of any kind thrown by a step are swallowed.
std::string firstFolder(const std::vector<FolderStep>& steps);

}  // namespace detail
}  // namespace custovia
