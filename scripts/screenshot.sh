#!/usr/bin/env bash
# Renews docs/screenshot.png: the window after a scan of a small example tree, taken headless
# under Xvfb. Needs xvfb (apt-get install xvfb xauth) and a build in build/.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --build build --target twinseek-screenshot
tree=/tmp/twinseek-demo
rm -rf "$tree"
mkdir -p "$tree"
work=$(mktemp -d)
trap 'rm -rf "$tree" "$work"' EXIT

# A few folders that share some names: photos, documents and music, with copies of equal size.
make() {
    mkdir -p "$tree/$(dirname "$1")"
    head -c "$2" /dev/zero > "$tree/$1"
    touch -d "2025-06-$((10 + ${#1} % 15)) 14:$((10 + $2 % 40)):00" "$tree/$1"
}
for dir in Photos/2023 Photos/2024 Backup/Photos; do
    make "$dir/IMG_0001.jpg" 204800; make "$dir/IMG_0002.jpg" 198000
done
make Photos/2024/beach.jpg 512000; make Backup/beach.jpg 512000
for dir in Documents Documents/old Backup/Documents; do
    make "$dir/report.odt" 34000; make "$dir/budget.ods" 12000
done
make Documents/notes.txt 800; make Backup/notes.txt 800; make Music/song.ogg 3400000
make Backup/Music/song.ogg 3400000; make Documents/README.md 2100; make Backup/README.md 2100

cd "$work" # the window's settings file stays out of the repository
XDG_CONFIG_HOME="$work" \
    xvfb-run -a -s "-screen 0 1024x768x24" "$OLDPWD/build/tools/twinseek-screenshot" "$tree" \
    "$OLDPWD/docs/screenshot.png"
echo "docs/screenshot.png renewed"
