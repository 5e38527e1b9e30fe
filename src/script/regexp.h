#pragma once
// The RegExp object, with its match collection, matches and submatches.

#include <memory>

#include "script/object.h"

namespace kz::script {

std::shared_ptr<Object> CreateRegExp();

}  // namespace kz::script
