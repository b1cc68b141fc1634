#include <malloc.h>

#include "serve/Memory.h"

namespace custovia {
namespace serve {

void releaseFreeMemory() {
    malloc_trim(0);
}

}  // namespace serve
}  // namespace custovia
