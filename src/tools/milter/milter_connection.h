#pragma once
// One connection's state between libmilter's callbacks, and the end of its transactions.

#include <libmilter/mfapi.h>

#include <cstddef>
#include <memory>
#include <string>

#include "milter_callbacks.h"
#include "milter_spool.h"

namespace kz::tool {

struct Connection {
    std::string clientAddress;
    MilterTransaction transaction;  // its body goes to `writer`, never into memory
    std::unique_ptr<SpoolWriter> writer;
    std::size_t size = 0;  // bytes of the message so far
    std::size_t held = 0;  // of them, bytes held in memory (counted in HeldBytes)
    std::string seal;      // the loop seal header's value, when it has one

    // Ready for the next transaction; what it held is given back.
    void reset(HeldBytes& memory) {
        memory.give(held);
        held = 0;
        size = 0;
        writer.reset();
        seal.clear();
        transaction = MilterTransaction{};
    }
};

sfsistat Reply(SMFICTX* ctx, const char* code, const char* enhanced, const std::string& text,
               sfsistat status);
sfsistat TempFail(SMFICTX* ctx, const std::string& why);

// The end of a transaction: the spooled message, its run, the changes asked of the MTA,
// and one line on the console.
sfsistat EndOfMessage(SMFICTX* ctx, Connection& connection, MilterService& service);

}  // namespace kz::tool
