#include "clamd_scan.h"

#include <array>
#include <istream>
#include <memory>
#include <string_view>

#include "platform/files.h"
#include "platform/stream_socket.h"
#include "provider_support/provider_key.h"

namespace kz::providers {

namespace {

constexpr uint16_t kClamdPort = 3310;
constexpr std::size_t kChunkSize = 64 * 1024;
constexpr std::size_t kMaxReply = 4096;

std::string chunkHeader(std::size_t length) {
    std::string header(4, '\0');
    for (int i = 0; i < 4; ++i) header[std::size_t(i)] = char((length >> (8 * (3 - i))) & 0xff);
    return header;
}

ClamdOutcome failed(std::string why) {
    return {ClamdOutcome::Failed, std::move(why)};
}

// Sends the file in chunks; false when clamd stopped taking them (it may have answered).
bool streamFile(platform::StreamConnection& connection, std::istream& file,
                platform::StreamConnection::Clock::time_point deadline) {
    std::array<char, kChunkSize> chunk;
    while (file) {
        file.read(chunk.data(), std::streamsize(chunk.size()));
        const std::size_t got = std::size_t(file.gcount());
        if (got == 0) break;
        if (!connection.send(chunkHeader(got), deadline) ||
            !connection.send(std::string_view(chunk.data(), got), deadline))
            return false;
    }
    return connection.send(chunkHeader(0), deadline);
}

}  // namespace

ClamdSettings ReadClamdSettings() {
    const ProviderKey key("Antivirus");
    ClamdSettings settings;
    settings.server = key.text("Server", settings.server);
    settings.timeout = key.milliseconds("Timeout", settings.timeout.count());
    settings.failClosed = key.number("Fail Closed", 1) != 0;
    return settings;
}

ClamdOutcome ScanWithClamd(const ClamdSettings& settings, const std::string& path) {
    const std::unique_ptr<std::istream> file = platform::openInputStream(path);
    if (!file) return failed("cannot read " + path);
    std::string why;
    auto connection =
        platform::StreamConnection::connect(settings.server, kClamdPort, settings.timeout, why);
    if (!connection) return failed(why);
    const auto deadline = platform::StreamConnection::Clock::now() + settings.timeout;
    using namespace std::string_view_literals;
    if (!connection->send("zINSTREAM\0"sv, deadline))
        return failed(settings.server + ": " + connection->error());
    // Over its limit clamd answers and closes before the stream ends: read that answer.
    const bool sent = streamFile(*connection, *file, deadline);
    std::string answer;
    using End = platform::StreamConnection::ReceiveEnd;
    const End end = connection->receive(answer, kMaxReply, deadline, '\0');
    if (end == End::TimedOut || (end == End::Failed && answer.empty()))
        return failed(settings.server + ": " + connection->error());
    if (!sent && answer.empty()) return failed(settings.server + ": " + connection->error());
    ClamdOutcome outcome = ReadClamdAnswer(answer);
    if (outcome.kind == ClamdOutcome::Failed) outcome.text = settings.server + ": " + outcome.text;
    return outcome;
}

}  // namespace kz::providers
