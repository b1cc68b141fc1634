// Load-time set-up of the library: Qt's text codecs, settings and time
// functions want an application object, so when the host program has none the
// library makes one (no arguments) and keeps it for the life of the process.
#include <QCoreApplication>

namespace {

QCoreApplication* ensureApplication() {
    if (QCoreApplication::instance() != nullptr) {
        return nullptr;
    }
    static int argc = 0;
    static char* argv[] = {nullptr};
    return new QCoreApplication(argc, argv);
}

// Never destroyed: the host program may still use Qt after unloading us.
QCoreApplication* const application = ensureApplication();

}  // namespace
