#include "tkl/Settings.h"

#include <QSettings>
#include <QStringList>
#include <QTextCodec>
#include <new>

#include "tkl/Exception.h"

namespace tkl {

namespace {

QString fromUtf8(const char* text) {
    return QString::fromUtf8(text ? text : "");
}

std::vector<std::string> toUtf8List(const QStringList& list) {
    std::vector<std::string> result;
    result.reserve(static_cast<size_t>(list.size()));
    for (const QString& text : list)
        result.push_back(text.toUtf8().toStdString());
    return result;
}

[[noreturn]] void throwCreateFailed() {
    throw OutOfMemoryException("Error creating \"Settings\" object.", -300);
}

}  // namespace

Settings::Settings() = default;

Settings::~Settings() {
    close();
}

void Settings::open(const char* key) {
    if (!key || !*key)
        throw InvalidArgumentException("Empty \"key\" argument.", -202);
    close();
    settings_.reset(createNative(key));
    if (!settings_)
        throwCreateFailed();
}

void Settings::open(const std::string& key) {
    open(key.c_str());
}

void Settings::openIni(const char* fileName, const char* codec) {
    if (!fileName || !*fileName)
        throw InvalidArgumentException("Empty \"filename\" argument.", -202);
    close();
    settings_.reset(new (std::nothrow) QSettings(fromUtf8(fileName), QSettings::IniFormat));
    if (!settings_)
        throwCreateFailed();
    if (codec && *codec) {
        QTextCodec* textCodec = QTextCodec::codecForName(codec);
        if (!textCodec) {
            close();
            throw InvalidArgumentException(std::string("Invalid codec: \"") + codec + "\".", -202);
        }
        settings_->setIniCodec(textCodec);
    }
}

void Settings::openIni(const std::string& fileName, const std::string& codec) {
    openIni(fileName.c_str(), codec.c_str());
}

void Settings::close() {
    settings_.reset();
}

bool Settings::isOpen() const {
    return settings_ != nullptr;
}

QSettings& Settings::opened() const {
    if (!settings_)
        throw FileNotOpenException("Error: file not opened.", -32012);
    return *settings_;
}

std::vector<std::string> Settings::childGroups() const {
    return settings_ ? toUtf8List(settings_->childGroups()) : std::vector<std::string>();
}

void Settings::beginGroup(const char* name) {
    QSettings& settings = opened();
    const QString parent = settings.group();
    const QString child = fromUtf8(name);
    settings.beginGroup(child);
    // Qt normalises group names; a name it changed is not the group asked for.
    QString expected = parent;
    if (!child.isEmpty())
        expected = parent.isEmpty() ? child : parent + QLatin1Char('/') + child;
    if (settings.group() != expected)
        throw NotFoundException("Error: group not found.", -302);
}

void Settings::beginGroup(const std::string& name) {
    beginGroup(name.c_str());
}

void Settings::endGroup() {
    opened().endGroup();
}

std::string Settings::group() const {
    return settings_ ? settings_->group().toUtf8().toStdString() : std::string();
}

std::vector<std::string> Settings::childKeys() const {
    return settings_ ? toUtf8List(settings_->childKeys()) : std::vector<std::string>();
}

void Settings::setValue(const char* key, const Variant& value) {
    opened().setValue(fromUtf8(key), value.value());
}

void Settings::setValue(const std::string& key, const Variant& value) {
    setValue(key.c_str(), value);
}

Variant Settings::value(const char* key) const {
    const QVariant result = opened().value(fromUtf8(key), QVariant());
    if (!result.isValid())
        throw NotFoundException("Error: key not found.", -302);
    return Variant(result);
}

Variant Settings::value(const std::string& key) const {
    return value(key.c_str());
}

Variant Settings::value(const char* key, const Variant& fallback) const {
    if (!settings_)
        return fallback;
    const QVariant result = settings_->value(fromUtf8(key), QVariant());
    return result.isValid() ? Variant(result) : fallback;
}

Variant Settings::value(const std::string& key, const Variant& fallback) const {
    return value(key.c_str(), fallback);
}

}  // namespace tkl
