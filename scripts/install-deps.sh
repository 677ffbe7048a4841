#!/usr/bin/env bash
# Installs the Debian 12 packages Linovex needs to build and test, skipping those already present.
# Usage: scripts/install-deps.sh [build|test|fuzz|package|all]   (default: test, which includes build)
set -euo pipefail

build_pkgs=(build-essential cmake pkg-config qt6-base-dev qt6-svg-dev qt6-image-formats-plugins
    libfreeimage-dev libshp-dev libsane-dev libgtest-dev libgmock-dev libbenchmark-dev libopencv-dev)
test_pkgs=(xvfb xdotool imagemagick netpbm libopenjp2-tools sane-utils python3-ezdxf python3-dbfread
    locales desktop-file-utils appstream librsvg2-bin poppler-utils qt6-translations-l10n)
fuzz_pkgs=(clang libclang-rt-14-dev)
# cpack's DEB generator finds the programs with file(1) and their library packages with
# dpkg-shlibdeps.
package_pkgs=(dpkg-dev file)

what=${1:-test}
pkgs=("${build_pkgs[@]}")
case "$what" in
build) ;;
test) pkgs+=("${test_pkgs[@]}") ;;
fuzz) pkgs+=("${fuzz_pkgs[@]}") ;;
package) pkgs+=("${package_pkgs[@]}") ;;
all) pkgs+=("${test_pkgs[@]}" "${fuzz_pkgs[@]}" "${package_pkgs[@]}") ;;
*) echo "unknown package set: $what" >&2; exit 2 ;;
esac

missing=()
for p in "${pkgs[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

# A comma locale for the decimal-point tests; generating it is cheap and needs no download.
need_locale=0
if [ "$what" != build ] && ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
    need_locale=1
fi

if [ ${#missing[@]} -eq 0 ] && [ $need_locale -eq 0 ]; then
    exit 0
fi

sudo=()
if [ "$(id -u)" -ne 0 ]; then
    sudo=(sudo)
fi

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    "${sudo[@]}" apt-get update -q
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

if [ $need_locale -eq 1 ]; then
    if [ -f /etc/locale.gen ] && ! grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen; then
        echo 'de_DE.UTF-8 UTF-8' | "${sudo[@]}" tee -a /etc/locale.gen >/dev/null
    fi
    "${sudo[@]}" locale-gen >/dev/null 2>&1 || "${sudo[@]}" localedef -i de_DE -f UTF-8 de_DE.UTF-8 || true
fi
