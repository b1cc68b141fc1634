// Native settings locations on Windows are registry keys.
#include <QSettings>
#include <new>

#include "tkl/Settings.h"

namespace tkl {

QSettings* Settings::createNative(const std::string& key) {
    return new (std::nothrow) QSettings(QString::fromStdString(key), QSettings::NativeFormat);
}

}  // namespace tkl
