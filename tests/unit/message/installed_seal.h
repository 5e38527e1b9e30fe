#pragma once
// A loop seal with a fixed test key (bytes 0 to 31), installed as the process's seal for
// the life of the object. The fixture tests/fixtures/scan/messages/sealed.eml carries its
// seal of the name "sealed.eml".

#include "message/loop_seal.h"

namespace kz::test {

inline LoopSeal::Key TestSealKey() {
    LoopSeal::Key key{};
    for (std::size_t i = 0; i < key.size(); ++i) key[i] = uint8_t(i);
    return key;
}

struct InstalledSeal {
    LoopSeal seal{TestSealKey()};
    InstalledSeal() { InstallLoopSeal(&seal); }
    ~InstalledSeal() { InstallLoopSeal(nullptr); }
    InstalledSeal(const InstalledSeal&) = delete;
    InstalledSeal& operator=(const InstalledSeal&) = delete;
};

}  // namespace kz::test
