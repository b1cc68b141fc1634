// Giving memory back to the system.
#pragma once

namespace custovia {
namespace serve {

// Returns the allocator's free pages to the system. A scrape of thousands of
// units allocates megabytes on whichever server thread runs it; without this,
// each thread's allocator arena keeps its share after the scrape.
void releaseFreeMemory();

}  // namespace serve
}  // namespace custovia
