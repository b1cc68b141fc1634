#include "client/ClientManagerBase.h"

namespace custovia {

ClientManagerBase::~ClientManagerBase() = default;

void ClientManagerBase::connect(const Url& url) {
    connect(url.url().c_str());
}

void ClientManagerBase::open(const Url& url) {
    ClientManagerBase::connect(url);
}

void ClientManagerBase::close() {
    try {
        disconnectAll();
    } catch (...) {
        // Closing never fails: whatever a client's stop raised is dropped.
    }
}

bool ClientManagerBase::isOpen() {
    return isConnected();
}

ComputerMap ClientManagerBase::getComputerList() {
    return getComputerList(nullptr);
}

}  // namespace custovia
