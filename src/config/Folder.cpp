#include "config/Folder.h"

#include "config/FolderSteps.h"
#include "tkl/File.h"
#include "tkl/Settings.h"
#include "tkl/System.h"

namespace custovia {

namespace detail {

std::string firstFolder(const std::vector<FolderStep>& steps) {
    for (const FolderStep& step : steps) {
        try {
            std::string folder = step();
            if (!folder.empty()) {
                return folder;
            }
        } catch (...) {
            // A failing lookup only means this step has no answer.
        }
    }
    return std::string();
}

}  // namespace detail

namespace {

// The installation folder recorded by the product's installer.
std::string registeredFolder() {
    tkl::Settings settings;
    detail::openProductSettings(settings);
    settings.beginGroup("CUSTOVIA");
    std::string folder = settings.value("PATH").toString();
    settings.endGroup();
    return folder;
}

std::string executableFolder() {
    return tkl::File::directoryOf(tkl::System::getExecutableFileName());
}

std::string currentFolder() {
    return tkl::File::currentPath();
}

std::string relativeFolder() {
    return std::string(".") + tkl::File::separator();
}

}  // namespace

std::string getProductFolder() {
    try {
        return tkl::File::withSeparator(detail::firstFolder(
            {registeredFolder, executableFolder, currentFolder, relativeFolder}));
    } catch (...) {
        return relativeFolder();
    }
}

std::string getUserDataFolder() {
    try {
        const std::string profile = detail::firstFolder({detail::userProfileFolder});
        if (profile.empty()) {
            return getProductFolder();
        }
        return tkl::File::withSeparator(tkl::File::withSeparator(profile) + ".custovia");
    } catch (...) {
        return getProductFolder();
    }
}

}  // namespace custovia
