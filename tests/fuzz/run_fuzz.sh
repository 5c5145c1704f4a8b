#!/bin/sh
# run_fuzz.sh TARGET SEEDER SECONDS ARTIFACT_DIR [SEED_DIR]
# Runs a libFuzzer target for a bounded time, starting from the seed files
# SEEDER writes and those in SEED_DIR. Crash inputs are kept in ARTIFACT_DIR.
# Exit 77: not built.
set -eu
target=$1 seeder=$2 seconds=$3 artifacts=$4
if [ ! -x "$target" ] || [ ! -x "$seeder" ]; then
    echo "fuzz target not built (needs clang++ with libFuzzer)"
    exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/corpus" "$artifacts"
"$seeder" "$work/corpus"
if [ -n "${5:-}" ]; then cp "$5"/* "$work/corpus/"; fi
exec "$target" -max_total_time="$seconds" -max_len=12000 -timeout=10 -rss_limit_mb=4096 \
    -print_final_stats=1 -artifact_prefix="$artifacts/" "$work/corpus"
