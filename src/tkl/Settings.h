// tkl::Settings: an exception-reporting front over QSettings.
//
// A store is either closed or owns one QSettings, opened on a native settings
// location (open) or on an INI file with a chosen text codec (openIni). Keys
// and group names are UTF-8; a null one is taken as "". Values travel as
// tkl::Variant.
//
// Native locations are named like registry keys, for example
// "HKEY_LOCAL_MACHINE\\Software\\Vendor\\Product" (backslashes or slashes). On
// Windows that is the registry key. Elsewhere the root picks Qt's scope
// (HKEY_CURRENT_USER the user's settings, any other root the system-wide
// ones), a following "Software" is dropped, the next part names the
// organisation and the rest the application, so the example is the system
// file "Vendor/Product.conf" in the XDG configuration folder. A key without
// a root is a user location; an absolute file path opens that file.
//
// Failures:
//   InvalidArgumentException (-202)  empty key or file name, unknown codec
//   OutOfMemoryException     (-300)  the QSettings object cannot be created
//   FileNotOpenException   (-32012)  "Error: file not opened." on a closed store
//   NotFoundException        (-302)  "Error: group not found.", "Error: key not found."
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "tkl/Variant.h"

class QSettings;

namespace tkl {

class TKL_API Settings : public Object {
public:
    // Closed.
    Settings();
    Settings(const Settings&) = delete;
    Settings& operator=(const Settings&) = delete;
    // Closes, which writes unsaved changes.
    ~Settings() override;

    // Closes, then opens the native location named key (see above).
    // Throws InvalidArgumentException for an empty key, OutOfMemoryException.
    virtual void open(const char* key);
    virtual void open(const std::string& key);
    // Closes, then opens an INI file. A non-empty codec names one of Qt's text
    // codecs for the file; a name no codec bears leaves the store closed and
    // throws InvalidArgumentException "Invalid codec: \"name\".". An empty
    // file name throws InvalidArgumentException.
    virtual void openIni(const char* fileName, const char* codec);
    virtual void openIni(const std::string& fileName, const std::string& codec);
    // Releases the QSettings, which writes unsaved changes; nothing when closed.
    virtual void close();
    virtual bool isOpen() const;
    // Groups below the current group; empty when closed.
    virtual std::vector<std::string> childGroups() const;
    // Enters the group name below the current group (a null name enters
    // nothing but still pairs with endGroup). Throws FileNotOpenException when
    // closed and NotFoundException when Qt did not take the name as given (for
    // instance with stray slashes); the group then stays entered.
    virtual void beginGroup(const char* name);
    virtual void beginGroup(const std::string& name);
    // Throws FileNotOpenException when closed.
    virtual void endGroup();
    // The current group path; "" when closed.
    virtual std::string group() const;
    // Keys of the current group; empty when closed.
    virtual std::vector<std::string> childKeys() const;
    // Throws FileNotOpenException when closed.
    virtual void setValue(const char* key, const Variant& value);
    virtual void setValue(const std::string& key, const Variant& value);
    // Throws FileNotOpenException when closed, NotFoundException when the key
    // is absent.
    virtual Variant value(const char* key) const;
    virtual Variant value(const std::string& key) const;
    // The stored value, or fallback when the key is absent or the store is
    // closed; never throws.
    virtual Variant value(const char* key, const Variant& fallback) const;
    virtual Variant value(const std::string& key, const Variant& fallback) const;

private:
    // Creates the QSettings of a native location; null when out of memory.
    // Lives in the platform files.
    static QSettings* createNative(const std::string& key);
    QSettings& opened() const;

    std::unique_ptr<QSettings> settings_;
};

}  // namespace tkl
