// The handles openCli() returned and closeCli() has not yet closed. Every
// export looks its handle up here first, so that a pointer the library never
// handed out, or one already closed, is refused instead of dereferenced.
#include <mutex>
#include <unordered_set>

#include "client/ExportFrame.h"

namespace custovia {
namespace detail {

namespace {

struct LiveHandles {
    std::mutex mutex;
    std::unordered_set<const void*> handles;
};

// Never destroyed: an export called from another static object's destructor
// still finds the set.
LiveHandles& liveHandles() {
    static LiveHandles* live = new LiveHandles();
    return *live;
}

}  // namespace

void addLiveHandle(const MultiMonitClient* client) {
    LiveHandles& live = liveHandles();
    std::lock_guard<std::mutex> lock(live.mutex);
    live.handles.insert(client);
}

bool isLiveHandle(CustoviaHandle handle) {
    LiveHandles& live = liveHandles();
    std::lock_guard<std::mutex> lock(live.mutex);
    return live.handles.count(handle) != 0;
}

bool takeLiveHandle(CustoviaHandle handle) {
    LiveHandles& live = liveHandles();
    std::lock_guard<std::mutex> lock(live.mutex);
    return live.handles.erase(handle) != 0;
}

}  // namespace detail
}  // namespace custovia
