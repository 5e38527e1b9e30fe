#!/usr/bin/env python3
"""Writes the C++ source of the console's assets: embed_assets.py OUT.cpp FILE...

Each FILE is served as "/" + its base name, with the content type its extension gives."""
import os
import sys

TYPES = {
    ".html": "text/html; charset=utf-8",
    ".js": "text/javascript; charset=utf-8",
    ".css": "text/css; charset=utf-8",
}


def main():
    out, files = sys.argv[1], sys.argv[2:]
    lines = ['#include "assets.h"', "", "namespace kz::tool::web {", "", "namespace {", ""]
    table = []
    for index, path in enumerate(files):
        data = open(path, "rb").read()
        body = ",".join(str(b if b < 128 else b - 256) for b in data)  # char may be signed
        lines.append(f"constexpr char kAsset{index}[] = {{{body},0}};")
        name = "/" + os.path.basename(path)
        kind = TYPES[os.path.splitext(path)[1]]
        table.append(f'    {{"{name}", {{{{kAsset{index}, {len(data)}}}, "{kind}"}}}},')
    lines += ["", "struct Named {", "    std::string_view path;", "    Asset asset;", "};", "",
              "const Named kAssets[] = {"] + table + ["};", "", "}  // namespace", "",
              "const Asset* FindAsset(std::string_view path) {",
              "    for (const Named& named : kAssets)",
              "        if (named.path == path) return &named.asset;",
              "    return nullptr;", "}", "", "}  // namespace kz::tool::web", ""]
    text = "\n".join(lines)
    # Rewritten only when it changes, so an unchanged asset compiles nothing again.
    if not os.path.exists(out) or open(out).read() != text:
        with open(out + ".tmp", "w") as f:
            f.write(text)
        os.replace(out + ".tmp", out)


if __name__ == "__main__":
    main()
