#include "platform/com.h"

namespace kz::platform {

bool initializeComForThread() { return true; }
void uninitializeComForThread() {}

}  // namespace kz::platform
