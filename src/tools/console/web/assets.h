#pragma once
// The console's page, scripts, style and chart library, compiled into kzmta (written at
// build time by embed_assets.py), so the console needs no files and no network at run time.

#include <string_view>

namespace kz::tool::web {

struct Asset {
    std::string_view data;
    const char* contentType;
};

// The asset served at `path` ("/index.html", "/app.js", ...); null when there is none.
const Asset* FindAsset(std::string_view path);

}  // namespace kz::tool::web
