#include "monit/MonitManagerBase.h"

namespace custovia {

MonitManagerBase::~MonitManagerBase() = default;

}  // namespace custovia
