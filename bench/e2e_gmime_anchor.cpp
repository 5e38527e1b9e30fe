// Anchor of the end-to-end benchmark: GMime parses each message and reads its subject,
// sender and header block, the least a filter needs. Prints label, messages, seconds and
// messages per second, like e2e_drive.
//
//   e2e_gmime_anchor FILES LABEL [REPEATS]

#include <gmime/gmime.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: e2e_gmime_anchor FILES LABEL [REPEATS]\n");
        return 2;
    }
    std::vector<std::string> files;
    std::ifstream list(argv[1]);
    for (std::string line; std::getline(list, line);) {
        if (!line.empty()) files.push_back(line);
    }
    const int repeats = argc > 3 ? std::atoi(argv[3]) : 1;
    g_mime_init();
    std::size_t headerBytes = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int r = 0; r < repeats; ++r) {
        for (const std::string& file : files) {
            gchar* content = nullptr;
            gsize length = 0;
            if (!g_file_get_contents(file.c_str(), &content, &length, nullptr)) continue;
            GMimeStream* stream = g_mime_stream_mem_new_with_buffer(content, length);
            g_free(content);
            GMimeParser* parser = g_mime_parser_new_with_stream(stream);
            if (GMimeMessage* message = g_mime_parser_construct_message(parser, nullptr)) {
                (void)g_mime_message_get_subject(message);
                g_free(internet_address_list_to_string(g_mime_message_get_from(message), nullptr,
                                                       FALSE));
                gchar* headers = g_mime_object_get_headers(GMIME_OBJECT(message), nullptr);
                headerBytes += headers ? std::char_traits<char>::length(headers) : 0;
                g_free(headers);
                g_object_unref(message);
            }
            g_object_unref(parser);
            g_object_unref(stream);
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const std::size_t messages = files.size() * std::size_t(repeats);
    std::printf("%s %zu %.4f %.2f\n", argv[2], messages, seconds, double(messages) / seconds);
    return headerBytes == 0 && messages > 0;
}
