#!/usr/bin/env python3
"""Inputs of the end-to-end benchmark (bench/e2e_bench.sh), all derived from the corpus.

  e2e_inputs.py words CORPUS_DIR WORK        word and address lists from the corpus
  e2e_inputs.py queue CORPUS_DIR PRISTINE    every corpus file as a queued SMTP message
  e2e_inputs.py sized WORK PRISTINE SIZE...  one synthetic multipart message per size (bytes)
  e2e_inputs.py env ENV WORK CONFIG          registry and 50 filters; CONFIG 1k, 10k or light

Word lists: tokens of 4-14 letters, lower-cased, ranked by count. "mid" lists take every
20th (1k) or 2nd (10k) word of ranks 300-20,300, "rare" ones words beyond rank 20,000;
address lists hold every other corpus address, 5 % "*@domain", padded with addresses
that never occur.
"""
import base64
import collections
import hashlib
import os
import random
import re
import sys

PRODUCT = r"SOFTWARE\Kaztrel\Kaztrel"
SMTP = PRODUCT + r"\CONNECTORS\SMTP"
AGENT = PRODUCT + r"\Agents\MTA\Filters\MTAFILTER"
KIND = dict(SUBJECT=0, BODY=1, TO=2, CC=3, TOorCC=4, PRIORITY=5, FROM=6, SIZE=7,
            HASATTACHMENTSMATCHING=8, HASANATTACHMENT=9, HEADERS_CONTAIN=11, SPF=13,
            ALLMESSAGES=15, BOUNDARYHEADERS_CONTAIN=21, COUNTRY_MATCH=25)
ADDRESS = re.compile(rb"[A-Za-z0-9._%+-]+@[A-Za-z0-9.-]+\.[A-Za-z]{2,}")


def corpus_files(corpus):
    return sorted(os.path.join(d, f) for d, _, fs in os.walk(corpus) for f in fs if f.endswith(".txt"))


def read_message(path):
    data = open(path, "rb").read()
    if data.startswith(b"From "):  # the mbox separator is no part of the message
        data = data.split(b"\n", 1)[1] if b"\n" in data else b""
    return data.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")


def headers(data):
    fields, last = {}, None
    for line in data.split(b"\r\n\r\n", 1)[0].split(b"\r\n"):
        if line[:1] in (b" ", b"\t") and last:
            fields[last] += b" " + line.strip()
        elif b":" in line:
            name, value = line.split(b":", 1)
            last = name.strip().lower()
            fields.setdefault(last, value.strip())
    return fields


def write_lines(path, lines):
    with open(path, "wb") as f:  # CR LF, as the administrator's tool writes them
        f.write(("\r\n".join(lines) + "\r\n").encode("latin-1", "replace"))


def cmd_words(corpus, work):
    words, addresses = collections.Counter(), collections.Counter()
    for path in corpus_files(corpus):
        data = open(path, "rb").read()
        words.update(w.lower() for w in re.findall(rb"[A-Za-z]+", data) if 4 <= len(w) <= 14)
        h = headers(data.replace(b"\n", b"\r\n"))
        for key in (b"from", b"to", b"cc"):
            addresses.update(a.lower() for a in ADDRESS.findall(h.get(key, b"")))
    ranked = [w.decode() for w, _ in sorted(words.items(), key=lambda kv: (-kv[1], kv[0]))]
    mid = ranked[299:20299]
    rare = ranked[19999:]
    lists = {"w1k": mid[::20], "w10k": mid[::2], "w1k_rare": rare[::120][:1000],
             "w10k_rare": rare[::12][:10000], "w100": mid[::200], "inline_words": ranked[300:2300]}
    people = [a.decode() for a, _ in sorted(addresses.items(), key=lambda kv: (-kv[1], kv[0]))]
    domains = sorted({a.split("@", 1)[1] for a in people})
    rnd = random.Random(7)
    for size, name in ((1000, "a1k"), (10000, "a10k")):
        chosen = people[1::2][:size * 95 // 100]
        chosen += ["*@" + d for d in rnd.sample(domains, min(len(domains), size // 20))]
        chosen += ["user%05d@blocked%03d.invalid" % (i, i % 997) for i in range(size - len(chosen))]
        lists[name] = chosen[:size]
    lists["inline_addresses"] = people[:400]
    os.makedirs(work, exist_ok=True)
    for name, entries in lists.items():
        write_lines(os.path.join(work, name + ".txt"), entries)


def queue_message(inbound, name, data):
    h = headers(data)
    sender = (ADDRESS.findall(h.get(b"from", b"")) or [b"unknown@sender.test"])[0]
    recipients = ADDRESS.findall(h.get(b"to", b"") + b" " + h.get(b"cc", b""))[:20] or [b"bob@example.test"]
    client = re.search(rb"\[(\d{1,3}(?:\.\d{1,3}){3})\]", h.get(b"received", b""))
    envelope = ["Recipients=" + ";".join("[SMTP:%s]" % r.decode() for r in recipients),
                "Sender=[SMTP:%s]" % sender.decode(), "Server=mx.example.test",
                "ClientIP=" + (client.group(1).decode() if client else "203.0.113.9"),
                "Account=example", "User=bob", "Status=Inbound", "CommandType=SMTP",
                "Subject=" + re.sub(r"[\r\n]", " ", h.get(b"subject", b"").decode("latin-1")[:200]),
                "TimeAcquired=1700000000", "AuthenticationStatus=0"]
    write_lines(os.path.join(inbound, name), envelope)
    with open(os.path.join(inbound, "Messages", name), "wb") as f:
        f.write(data)


def inbound_of(pristine):
    inbound = os.path.join(pristine, "SMTP", "Inbound")
    os.makedirs(os.path.join(inbound, "Messages"), exist_ok=True)
    return inbound


def cmd_queue(corpus, pristine):
    inbound = inbound_of(pristine)
    names = []
    for path in corpus_files(corpus):
        names.append(hashlib.md5(path.encode()).hexdigest().upper() + ".MAI")
        queue_message(inbound, names[-1], read_message(path))
    with open(os.path.join(pristine, "names.txt"), "w") as f:
        f.write("\n".join(names) + "\n")


def cmd_sized(work, pristine, sizes):
    vocabulary = open(os.path.join(work, "inline_words.txt")).read().split()
    inbound = inbound_of(pristine)
    for size in sizes:
        rnd = random.Random(size)
        text = lambda n: "\r\n".join(" ".join(rnd.choice(vocabulary) for _ in range(10))
                                     for _ in range(max(1, n // 80))) + "\r\n"
        encoded = base64.b64encode(rnd.randbytes(size * 45 // 100)).decode()
        data = ("Received: from mx.sender.test ([198.51.100.7]) by mx.example.test\r\n"
                "From: Sender <sender@sender.test>\r\nTo: Bob <bob@example.test>\r\n"
                "Subject: %s\r\nMIME-Version: 1.0\r\n"
                "Content-Type: multipart/mixed; boundary=\"MIX\"\r\n\r\n"
                "--MIX\r\nContent-Type: text/plain; charset=us-ascii\r\n\r\n%s"
                "--MIX\r\nContent-Type: application/pdf; name=\"report.pdf\"\r\n"
                "Content-Transfer-Encoding: base64\r\n\r\n%s\r\n--MIX--\r\n"
                % (" ".join(rnd.choice(vocabulary) for _ in range(6)), text(size * 4 // 10),
                   "\r\n".join(encoded[i:i + 76] for i in range(0, len(encoded), 76))))
        queue_message(inbound, "SIZE%09d.MAI" % size, data.encode())


def cmd_env(env, work, config):
    env = os.path.abspath(env)
    d = {k: os.path.join(env, k) for k in ("config", "queues", "badmail", "quarantine", "mailroot", "logs", "app")}
    filters_dir = os.path.join(d["config"], "FILTERS")
    for sub in ("CRITERIA", "ACTIONS", "PATTERNS", "Templates"):
        os.makedirs(os.path.join(filters_dir, sub), exist_ok=True)
    for k in ("badmail", "quarantine"):
        os.makedirs(os.path.join(d[k], "Messages"), exist_ok=True)
    for k in ("mailroot", "logs", "app"):
        os.makedirs(d[k], exist_ok=True)
    registry = {PRODUCT: {"Mail Root": d["mailroot"], "Configuration Directory": d["config"],
                          "Bad Mail Directory": d["badmail"], "Quarantine Directory": d["quarantine"],
                          "Application Directory": d["app"], "Filter MIME": 1},
                PRODUCT + r"\CONNECTORS": {"Connector Root Directory": d["queues"]},
                SMTP: {"Local Domain Name": "example.test",
                       "Bad Mail Notification Sender Address": "postmaster@example.test"},
                AGENT: {"Activity Log Directory": d["logs"], "Activity Log Enabled": 1,
                        "Allow Pattern Caching": 1}}
    quote = lambda s: '"%s"' % s.replace("\\", "\\\\").replace('"', '\\"')
    lines = ["Windows Registry Editor Version 5.00", ""]
    for key, values in registry.items():
        lines.append("[HKEY_LOCAL_MACHINE\\%s]" % key)
        lines += ["%s=%s" % (quote(n), "dword:%08x" % v if isinstance(v, int) else quote(v))
                  for n, v in values.items()]
        lines.append("")
    write_lines(os.path.join(env, "registry.reg"), lines)

    big = "10k" if config == "10k" else "1k"
    files = {"mid": "w%s.txt" % big, "rare": "w%s_rare.txt" % big, "addr": "a%s.txt" % big, "w100": "w100.txt"}
    for name in files.values():
        write_lines(os.path.join(filters_dir, "PATTERNS", name), open(os.path.join(work, name)).read().split())
    ref = lambda key: "<REFERENCE><FILE>%s</FILE></REFERENCE>" % files[key]
    alternate = lambda i: ref("mid" if i % 2 == 0 else "rare")
    vocabulary = open(os.path.join(work, "inline_words.txt")).read().split()
    people = open(os.path.join(work, "inline_addresses.txt")).read().split()
    rnd = random.Random(42)

    def inline_words(n):
        chosen = rnd.sample(vocabulary, n)
        for i, w in enumerate(chosen):
            r = rnd.random()
            chosen[i] = "*" + w if r < 0.07 else w + "*" if r < 0.14 else "*" + w + "*" if r < 0.2 else w
        return ",".join(chosen)

    def inline_addresses(n):
        chosen = rnd.sample(people, n)
        return ",".join("*@" + a.split("@", 1)[1] if i % 10 == 0 else a for i, a in enumerate(chosen))

    with_files = config != "light"
    filters = []  # (name, {kind: (data, threshold)}, matchAll or None)
    for i in range(13):
        criteria = {"SUBJECT": (inline_words(rnd.randint(5, 20)), 1)}
        if i < 5:
            criteria["BODY"] = (inline_words(rnd.randint(5, 10)), 1)
        filters.append(("SUBJ%02d" % (i + 1), criteria, 1 if i < 5 else None))
    filters += [("SUBJF%d" % (i + 1), {"SUBJECT": (alternate(i), 1)}, None) for i in range(5) if with_files]
    filters += [("ADDR%d" % (i + 1), {k: (inline_addresses(rnd.randint(10, 50)), 1)}, None)
                for i, k in enumerate(["FROM", "FROM", "TO", "TO", "CC", "TOorCC"])]
    if with_files:
        filters += [("FROMF%d" % (i + 1), {"FROM": (ref("addr"), 1)}, None) for i in range(2)]
        filters += [("HDRF%d" % (i + 1), {"HEADERS_CONTAIN": (alternate(i), 1)}, None) for i in range(5)]
        filters += [("BODYF%d" % (i + 1), {"BODY": (alternate(i), 3 if i < 2 else 1)}, None) for i in range(6)]
    filters += [("ATT%d" % (i + 1), {"HASATTACHMENTSMATCHING": (p, 1)}, None) for i, p in
                enumerate(["*.exe,*.scr,*.pif,*.bat", "*.zip,*.rar,*.7z", "*.doc,*.xls,*.pdf,*.jpg,*.gif"])]
    filters += [("HASATT1", {"HASANATTACHMENT": ("1", 1)}, None),
                ("HASATT2", {"HASANATTACHMENT": ("1", 1), "SIZE": ("100000", 1)}, None)]
    filters += [("BND%d" % (i + 1), {"BOUNDARYHEADERS_CONTAIN": (ref("w100"), 1)}, None)
                for i in range(2) if with_files]
    filters += [("SIZE1", {"SIZE": ("50000", 1)}, None), ("SIZE2", {"SIZE": ("1000000", 1)}, None),
                ("PRIO", {"PRIORITY": ("High", 1)}, None), ("SPF", {"SPF": ("fail,softfail", 1)}, None),
                ("CTRY", {"COUNTRY_MATCH": ("CN,RU,KR", 1)}, None), ("ALL", {"ALLMESSAGES": ("", 1)}, None)]

    table = []
    for name, criteria, match_all in filters:
        table.append("\t".join([name, "1", name, "", "bench filter " + name, ""] +
                               ([str(match_all)] if match_all is not None else [])))
        slots = {KIND[k]: v for k, v in criteria.items()}
        rows = ["\t".join(["1" if k in slots else "0", "X", slots.get(k, ("", 1))[0], "", "",
                           str(slots.get(k, ("", 1))[1])]) for k in range(max(slots) + 1)]
        write_lines(os.path.join(filters_dir, "CRITERIA", name + ".TAB"), rows)
        # Tagging touches the real write path and leaves the message in the queue.
        write_lines(os.path.join(filters_dir, "ACTIONS", name + ".TAB"),
                    ["1\t\tX-KZB-%s|[KZ_CRITERIA]\tADD_HEADER\ttag" % name])
    write_lines(os.path.join(filters_dir, "FILTER.TAB"), table)


if __name__ == "__main__":
    command, args = sys.argv[1], sys.argv[2:]
    if command == "words":
        cmd_words(*args)
    elif command == "queue":
        cmd_queue(*args)
    elif command == "sized":
        cmd_sized(args[0], args[1], [int(s) for s in args[2:]])
    elif command == "env":
        cmd_env(*args)
    else:
        sys.exit("unknown command " + command)
