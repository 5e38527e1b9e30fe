#include "script/limits.h"

#include "script/error.h"

namespace kz::script {

void CheckStringLength(std::size_t length) {
    if (length > kMaxStringLength)
        ThrowFatal(kOutOfMemory, ErrorCode(kOutOfMemory), ErrorText(kOutOfMemory));
}

void CheckArrayItems(std::size_t count) {
    if (count > kMaxArrayItems)
        ThrowFatal(kOutOfMemory, ErrorCode(kOutOfMemory), ErrorText(kOutOfMemory));
}

}  // namespace kz::script
