#!/usr/bin/env bash
# Builds the Debian package from a release build, installs it with apt and
# checks that both programs start from the installed files.
set -euo pipefail
cd "$(dirname "$(readlink -f "$0")")/.."
dir=${BUILD_DIR:-build}-package
as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }
# CPack's dependency scan needs dpkg-shlibdeps (dpkg-dev) and file.
missing=()
for p in dpkg-dev file; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    as_root apt-get update -qq
    DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -qq "${missing[@]}" >/dev/null
fi
if [ ! -f "$dir/build.ninja" ]; then
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr -DTH_TESTS=OFF -DTH_BENCH=OFF
fi
cmake --build "$dir" -j "$(nproc)"
(cd "$dir" && cpack -G DEB >/dev/null)
deb=$(ls -t "$dir"/termohigrometro_*.deb | head -n 1)
echo "package: $deb"
DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -qq --reinstall "$(readlink -f "$deb")" >/dev/null
test -x /usr/bin/termohigrometro
test -f /usr/share/applications/termohigrometro.desktop
test -f /usr/share/man/man1/termohigrometro-cli.1*
test -f /usr/share/icons/hicolor/scalable/apps/termohigrometro.svg
test -f /usr/share/mime/packages/termohigrometro.xml
test -f /usr/share/termohigrometro/translations/qtbase_pt_BR.qm
/usr/bin/termohigrometro-cli --version
/usr/bin/termohigrometro --version
# The panel starts offscreen on the emulated instrument and stays up.
set +e
QT_QPA_PLATFORM=offscreen timeout 5 /usr/bin/termohigrometro --port Simulador
rc=$?
set -e
if [ $rc -ne 124 ]; then
    echo "the installed panel ended early (exit $rc)"
    exit 1
fi
echo "package installs and runs"
