#pragma once
// One zINSTREAM scan of a file by clamd over a new connection:
//
//   "zINSTREAM\0", then chunks of <4-byte big-endian length><bytes>, then a zero length;
//   clamd answers "stream: OK\0", "stream: <signature> FOUND\0", or a text ending in
//   "ERROR\0" (the "StreamMaxLength" limit, a daemon fault).

#include <chrono>
#include <string>

#include "clamd_answer.h"

namespace kz::providers {

struct ClamdSettings {
#ifdef _WIN32
    // clamd for Windows listens on TCP only; the socket layer has no Unix sockets.
    std::string server = "127.0.0.1:3310";
#else
    std::string server = "/var/run/clamav/clamd.ctl";
#endif
    std::chrono::milliseconds timeout{30000};
    bool failClosed = true;
};

// The settings from the "Antivirus" key.
ClamdSettings ReadClamdSettings();

ClamdOutcome ScanWithClamd(const ClamdSettings& settings, const std::string& path);

}  // namespace kz::providers
