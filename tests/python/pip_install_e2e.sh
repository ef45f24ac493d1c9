#!/usr/bin/env bash
# The Python package as a game maker installs it: liborgsynth installed into a scratch prefix
# (cmake --install), then `pip install --no-build-isolation ./python` offline (no index) into a
# virtual environment over Debian's python3 and its packages; the installed package, with no
# ORGSYNTH_LIBRARY, finds the library through pkg-config, and with neither, says where it looked.
# Usage: pip_install_e2e.sh BUILD_DIR SOURCE_DIR PYTHON
set -u
build=$(realpath "$1") source=$(realpath "$2") python=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
check() {  # check DESCRIPTION CONDITION...
  local what=$1; shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}

for component in liborgsynth liborgsynth_dev; do
  cmake --install "$build" --prefix "$work/prefix" --component "$component" >>"$work/install.log" 2>&1
done
pc=$(dirname "$(find "$work/prefix" -name orgsynth.pc | head -1)")
check "liborgsynth installs with its pkg-config file" [ -f "$pc/orgsynth.pc" ]

# Without a pip of its own: Debian's pip (a system package) runs inside it and installs into it.
"$python" -m venv --system-site-packages --without-pip "$work/venv" >"$work/venv.log" 2>&1
check "a virtual environment over $python" [ -x "$work/venv/bin/python" ] || cat "$work/venv.log"
# A copy, so that the build leaves nothing in the source tree.
cp -r "$source/python" "$work/python"
(cd "$work" && env -u PIP_INDEX_URL "$work/venv/bin/python" -m pip install --no-build-isolation \
  --no-index ./python) >"$work/pip.log" 2>&1
check "pip install --no-build-isolation ./python works offline" [ $? = 0 ] || cat "$work/pip.log"

cd "$work"
unset ORGSYNTH_LIBRARY
PKG_CONFIG_PATH=$pc "$work/venv/bin/python" - "$source/data/Org/Joy.org" >"$work/run.log" 2>&1 <<'PY'
import sys, orgsynth
assert orgsynth.__file__.startswith(sys.prefix), orgsynth.__file__
song = orgsynth.Song.open(sys.argv[1])
assert len(song.render(1000)) == 4000
print(orgsynth.library_version())
PY
check "the installed package finds the library through pkg-config ($(tail -1 "$work/run.log"))" \
  [ "$(tail -1 "$work/run.log")" = 1.1.0 ] || cat "$work/run.log"
PKG_CONFIG_PATH=/nonexistent LD_LIBRARY_PATH= "$work/venv/bin/python" -c \
  'import orgsynth; orgsynth.library_version()' >"$work/missing.log" 2>&1
check "without a library it says so and where it looked" \
  grep -q "liborgsynth was not found (set ORGSYNTH_LIBRARY" "$work/missing.log"

echo "$failures failed"
[ "$failures" = 0 ]
