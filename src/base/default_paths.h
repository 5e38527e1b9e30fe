#pragma once
// Defaults fixed when the build is configured: a build for installing (KZ_SYSTEM_PATHS,
// cmake/install_layout.cmake) defines the installed layout's; without them, the source
// tree's, which the tests and the demo use.

// The registry file when KZ_REGISTRY names none.
#ifndef KZ_DEFAULT_REGISTRY
#define KZ_DEFAULT_REGISTRY "/etc/kzmta/registry.reg"
#endif
// Where cross-process lock files live when KZ_RUNTIME_DIR names no folder.
#ifndef KZ_DEFAULT_RUNTIME_DIR
#define KZ_DEFAULT_RUNTIME_DIR "/tmp"
#endif
// Where mutable state (Bayes.db) goes by default; empty: beside the libraries.
#ifndef KZ_DEFAULT_STATE_DIR
#define KZ_DEFAULT_STATE_DIR ""
#endif
// The installed agent library's folder; empty: the build tree's lib/ beside bin/.
#ifndef KZ_DEFAULT_LIBRARY_DIR
#define KZ_DEFAULT_LIBRARY_DIR ""
#endif

namespace kz {

inline constexpr const char* kDefaultRegistryPath = KZ_DEFAULT_REGISTRY;
inline constexpr const char* kDefaultRuntimeDirectory = KZ_DEFAULT_RUNTIME_DIR;
inline constexpr const char* kDefaultStateDirectory = KZ_DEFAULT_STATE_DIR;
inline constexpr const char* kDefaultLibraryDirectory = KZ_DEFAULT_LIBRARY_DIR;

}  // namespace kz
