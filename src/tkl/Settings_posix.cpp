// Native settings locations without a registry: a registry-style key names a
// Qt settings file in the XDG configuration folders.
#include <QRegularExpression>
#include <QSettings>
#include <QStringList>
#include <new>

#include "tkl/Settings.h"

namespace tkl {

QSettings* Settings::createNative(const std::string& key) {
    const QString path = QString::fromStdString(key);
    if (path.startsWith(QLatin1Char('/')))
        return new (std::nothrow) QSettings(path, QSettings::NativeFormat);

    QStringList parts =
        path.split(QRegularExpression(QStringLiteral("[\\\\/]")), Qt::SkipEmptyParts);
    // The root picks the scope; only the current user's root is per-user.
    QSettings::Scope scope = QSettings::UserScope;
    if (!parts.isEmpty() && parts.first().startsWith(QLatin1String("HKEY_"), Qt::CaseInsensitive)) {
        if (parts.first().compare(QLatin1String("HKEY_CURRENT_USER"), Qt::CaseInsensitive) != 0)
            scope = QSettings::SystemScope;
        parts.removeFirst();
    }
    if (!parts.isEmpty() &&
        parts.first().compare(QLatin1String("Software"), Qt::CaseInsensitive) == 0)
        parts.removeFirst();
    const QString organization = parts.isEmpty() ? QString() : parts.takeFirst();
    const QString application = parts.join(QLatin1Char('/'));

    QSettings* settings =
        new (std::nothrow) QSettings(QSettings::NativeFormat, scope, organization, application);
    // A registry key shows only its own values: no fall-back to other files.
    if (settings)
        settings->setFallbacksEnabled(false);
    return settings;
}

}  // namespace tkl
