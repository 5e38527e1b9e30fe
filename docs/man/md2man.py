#!/usr/bin/env python3
"""Turns the Markdown of docs/ into a man page, so that the page and the Markdown are one text.

Usage: md2man.py INPUT.md OUTPUT NAME SECTION "one-line summary"

It knows the Markdown these documents use: headings, paragraphs, "-" lists, fenced code,
pipe tables (set with tbl), `code`, *emphasis* and **strong**.
"""

import re
import sys


def escape(text):
    text = text.replace("\\", "\\e").replace("⇥", "<TAB>")
    return text.replace("-", "\\-")


def inline(text):
    """Markdown inline marks to roff fonts, the rest escaped."""
    out = []
    for i, piece in enumerate(re.split(r"(`[^`]*`)", text)):
        if i % 2:
            out.append("\\fB" + escape(piece[1:-1]) + "\\fR")
            continue
        piece = escape(piece)
        piece = re.sub(r"\*\*([^*]+)\*\*", r"\\fB\1\\fR", piece)
        piece = re.sub(r"(?<![\w*])\*([^*\s][^*]*)\*(?![\w*])", r"\\fI\1\\fR", piece)
        out.append(piece)
    return "".join(out)


def line(text):
    """A text line that roff does not take for a request."""
    return "\\&" + text if text[:1] in (".", "'") else text


def table_rows(lines):
    rows = []
    for row in lines:
        cells = re.split(r"(?<!\\)\|", row.strip().strip("|"))
        rows.append([cell.strip().replace("\\|", "|") for cell in cells])
    header, body = rows[0], [r for r in rows[2:]]
    return header, body


def table(lines):
    header, body = table_rows(lines)
    width = len(header)
    out = [".TS", "allbox tab(\x07);", " ".join(["lb"] * width), " ".join(["l"] * (width - 1) + ["lx"]) + "."]
    out.append("\x07".join(line(inline(cell)) for cell in header))
    for row in body:
        row = (row + [""] * width)[:width]
        out.append("\x07".join("T{\n" + line(inline(cell)) + "\nT}" for cell in row))
    out.append(".TE")
    return out


def convert(markdown, name, section, summary):
    out = ["'\\\" t", '.TH "%s" "%s" "" "" ""' % (name.upper(), section),
           ".SH NAME", "%s \\- %s" % (name, escape(summary))]
    lines = markdown.splitlines()
    i = 0
    paragraph = []

    def flush():
        if paragraph:
            out.append(".PP")
            out.extend(line(inline(text)) for text in paragraph)
            paragraph.clear()

    while i < len(lines):
        text = lines[i]
        if text.startswith("```"):
            flush()
            out.extend([".PP", ".RS 4", ".nf"])
            i += 1
            while i < len(lines) and not lines[i].startswith("```"):
                out.append(line(escape(lines[i].replace("\t", "⇥"))))
                i += 1
            out.extend([".fi", ".RE"])
        elif text.startswith("# "):
            flush()
            out.append(".SH DESCRIPTION")
        elif text.startswith("## "):
            flush()
            out.append('.SH "%s"' % inline(text[3:].upper()))
        elif text.startswith("### "):
            flush()
            out.append('.SS "%s"' % inline(text[4:]))
        elif text.startswith("|"):
            flush()
            rows = []
            while i < len(lines) and lines[i].startswith("|"):
                rows.append(lines[i])
                i += 1
            out.extend(table(rows))
            continue
        elif text.startswith("- "):
            flush()
            out.extend([".IP \\(bu 2", line(inline(text[2:]))])
            while i + 1 < len(lines) and lines[i + 1].startswith("  ") and lines[i + 1].strip():
                i += 1
                out.append(line(inline(lines[i].strip())))
        elif not text.strip():
            flush()
        else:
            paragraph.append(text.strip())
        i += 1
    flush()
    return "\n".join(out) + "\n"


def main():
    source, target, name, section, summary = sys.argv[1:6]
    with open(source, encoding="utf-8") as f:
        page = convert(f.read(), name, section, summary)
    with open(target, "w", encoding="utf-8") as f:
        f.write(page)


if __name__ == "__main__":
    main()
