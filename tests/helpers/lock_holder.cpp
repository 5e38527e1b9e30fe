// Takes the named lock given as argument, says so on standard output and holds it
// until it is killed. Exit 2 when the lock cannot be taken.

#include <unistd.h>

#include <chrono>
#include <cstdio>

#include "platform/named_lock.h"

int main(int argc, char** argv) {
    if (argc != 2) return 1;
    kz::platform::NamedLock lock(argv[1]);
    if (!lock.lock(std::chrono::seconds(10))) return 2;
    std::printf("locked\n");
    std::fflush(stdout);
    for (;;) pause();
}
