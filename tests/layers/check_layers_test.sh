#!/usr/bin/env bash
# The layer check on small trees of its own: it must name every include
# outside the table (file and line) and pass a tree that keeps to it.
set -uo pipefail
check=${1:?usage: check_layers_test.sh PATH-TO-check-layers}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0

tree() { # tree NAME: an empty tree with a few well-behaved files
  local t="$tmp/$1"
  mkdir -p "$t/src/display" "$t/src/processing" "$t/src/acquisition" "$t/src/app" "$t/sim"
  printf '#include "platform/clock.h"\n#include <vector>\n' >"$t/src/display/image_store.cpp"
  printf '#include "display/image_store.h"\n#include "star/centroid.h"\n' >"$t/src/processing/stacking.cpp"
  printf '#include "guiding/guide.h"\n#include <QWidget>\n' >"$t/src/app/main_window.cpp"
  printf '#include "processing/stretch.h"\n#include "dialogs/kit.h"\n#include <QDialog>\n' \
    >"$t/src/acquisition/camera_dialog.cpp"
  printf '#include "platform/usb_ids.h"\n' >"$t/sim/camera.cpp"
  echo "$t"
}

expect_pass() { # expect_pass NAME TREE
  local out
  if ! out=$("$check" "$2" 2>&1); then
    echo "FAIL $1: the check refused a good tree:"; echo "$out"; failures=$((failures + 1))
  fi
}

expect_fail() { # expect_fail NAME TREE TEXT
  local out
  if out=$("$check" "$2" 2>&1); then
    echo "FAIL $1: the check passed"; failures=$((failures + 1))
  elif ! grep -qF -- "$3" <<<"$out"; then
    echo "FAIL $1: expected '$3' in:"; echo "$out"; failures=$((failures + 1))
  fi
}

expect_pass "good tree" "$(tree good)"

t=$(tree upward)
printf '#include "platform/clock.h"\n\n#include "processing/stretch.h"\n' >"$t/src/display/display_pipeline.cpp"
expect_fail "include upward" "$t" "src/display/display_pipeline.cpp:3: display may not include processing"

t=$(tree sideways)
printf '#include "guiding/guider_camera.h"\n' >"$t/src/acquisition/readout.cpp"
expect_fail "acquisition below guiding" "$t" "src/acquisition/readout.cpp:1: acquisition may not include guiding"

t=$(tree sim)
printf '#include "devices/transport.h"\n' >"$t/sim/server.cpp"
expect_fail "simulator uses the program" "$t" "sim/server.cpp:1: sim may not include devices"

t=$(tree qt)
printf '#include "display/image_store.h"\n#include <QImage>\n' >"$t/src/processing/stretch.cpp"
expect_fail "Qt in a core file" "$t" "src/processing/stretch.cpp:2: core file includes Qt"

t=$(tree dialog)
printf '#include "processing/stretch_dialog.h"\n' >"$t/src/acquisition/info_dialog.cpp"
expect_fail "another folder's dialog" "$t" \
  "src/acquisition/info_dialog.cpp:1: acquisition may not include another folder's dialog (processing)"

t=$(tree unknown)
mkdir -p "$t/src/misc"
printf '\n' >"$t/src/misc/x.cpp"
expect_fail "folder without a row" "$t" "folder 'misc' has no row"

[ $failures -eq 0 ] && echo "layer check: all cases behave"
exit $failures
