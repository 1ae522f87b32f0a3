#!/usr/bin/env bash
# Builds the Debian package of the default build, installs it with apt, checks what it put
# on the system, and removes it again, also when a check failed. Exits non-zero on any
# failure. The package stays in build/ (its name and size are printed).
# QUAYLINK_PACKAGE_BUILD_DIR picks another binary folder (configured from the default
# preset when it has no build yet).
set -euo pipefail
cd "$(dirname "$0")/.."

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
# Wait for another apt (a second developer's install) instead of failing on its lock.
apt_get=("${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=300)

fail() {
  echo "package: $*" >&2
  exit 1
}

installed() {
  [ "$(dpkg-query -W -f='${Status}' quaylink 2>/dev/null)" = "install ok installed" ]
}

# A quaylink installed before this run is someone's; it is neither replaced nor removed.
if installed; then
  fail "quaylink is installed already; remove it first (sudo apt-get remove quaylink)"
fi

bash tools/deps.sh
build=${QUAYLINK_PACKAGE_BUILD_DIR:-build}
echo "=== package: build ($build)"
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake --preset default -B "$build" >/dev/null
fi
cmake --build "$build" -j "$(nproc)"

echo "=== package: cpack"
rm -f "$build"/quaylink_*.deb
(cd "$build" && cpack -G DEB)
debs=("$build"/quaylink_*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
  fail "cpack made no single quaylink_*.deb in $build"
fi
deb=$(realpath "${debs[0]}")
depends=$(dpkg-deb -f "$deb" Depends)
# dpkg-shlibdeps ran when the C library is among the dependencies.
grep -q "libc6" <<<"$depends" || fail "Depends lacks the shared libraries: $depends"

# From here on the package may be on the system: take it off again however this ends.
we_installed=0
listed=()
remove_package() {
  local status=$?
  trap - EXIT
  if [ "$we_installed" -eq 1 ]; then
    echo "=== package: apt-get remove"
    if ! "${apt_get[@]}" remove -y -qq quaylink >/dev/null; then
      echo "package: apt-get remove quaylink failed" >&2
      status=1
    fi
    if installed || [ -e /usr/bin/quaylink-cli ]; then
      echo "package: quaylink is still installed after its removal" >&2
      status=1
    fi
    local path
    for path in "${listed[@]}"; do
      if [ -f "$path" ] || [ -L "$path" ]; then
        echo "package: $path is left after the removal" >&2
        status=1
      fi
    done
    [ "$status" -ne 0 ] || echo "package: removed again"
  fi
  exit "$status"
}
trap remove_package EXIT
# A stop by signal also goes through the removal.
trap "exit 130" INT
trap "exit 143" TERM
trap "exit 129" HUP

echo "=== package: apt-get install ./$(basename "$deb")"
we_installed=1
"${apt_get[@]}" install -y -qq "$deb" >/dev/null
installed || fail "apt-get reported success, but quaylink is not installed"
mapfile -t listed < <(dpkg -L quaylink)
# No `| grep -q` below: with pipefail, grep leaving early could fail the writer by SIGPIPE.
listing=$(printf '%s\n' "${listed[@]}")

# Files: each where the package's list says, and on the disk.
for path in /usr/bin/quaylink /usr/bin/quaylink-cli /usr/bin/quaylink-station \
  /usr/share/man/man1/quaylink-cli.1.gz /usr/share/man/man1/quaylink-station.1.gz \
  /usr/lib/udev/rules.d/60-quaylink-cp210x.rules \
  /usr/share/applications/quaylink.desktop \
  /usr/share/icons/hicolor/64x64/apps/quaylink.png \
  /usr/share/icons/hicolor/128x128/apps/quaylink.png; do
  grep -qxF "$path" <<<"$listing" || fail "dpkg -L quaylink does not list $path"
  [ -f "$path" ] || fail "$path is listed but not on the disk"
done
for page in quaylink-cli quaylink-station; do
  text=$(zcat "/usr/share/man/man1/$page.1.gz") || fail "$page.1.gz does not unpack"
  grep -q '^\.TH ' <<<"$text" || fail "$page.1.gz is no man page"
done
grep -q 'ENV{ID_MM_DEVICE_IGNORE}="1"' /usr/lib/udev/rules.d/60-quaylink-cp210x.rules ||
  fail "the udev rule does not keep ModemManager away"

# The installed program runs from /usr/bin, not from the build.
/usr/bin/quaylink-cli --help >/dev/null || fail "/usr/bin/quaylink-cli --help failed"

echo "package: Depends: $depends"
echo "package: $(basename "$deb") $(stat -c %s "$deb") bytes ($deb)"
