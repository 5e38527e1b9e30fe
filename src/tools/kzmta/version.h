#pragma once
// kzmta's version and the git description of the sources it was built from, written into
// version.cpp in the build tree at every build.

namespace kz::tool {

extern const char kVersion[];
extern const char kGitDescription[];

}  // namespace kz::tool
