#!/usr/bin/env bash
# Builds the .deb from this build tree and checks that it holds the program, its desktop entry and its
# icon, in the places a desktop looks for them, and that it names the libraries the program needs.
set -euo pipefail
build_dir=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cpack --config "$build_dir/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 || {
    cat "$work/cpack.log"
    exit 1
}
debs=("$work"/vellumark_*.deb)
[ -f "${debs[0]}" ] || {
    echo "no package was made"
    ls -la "$work"
    exit 1
}
deb=${debs[0]}
contents=$(dpkg-deb -c "$deb")
status=0
for expected in \
    ./usr/bin/vellumark \
    ./usr/bin/vellumark-cli ./usr/share/man/man1/vellumark-cli.1 ./usr/share/bash-completion/completions/vellumark-cli \
    ./usr/share/applications/vellumark.desktop \
    ./usr/share/icons/hicolor/scalable/apps/vellumark.svg \
    ./usr/share/icons/hicolor/48x48/apps/vellumark.png \
    ./usr/share/icons/hicolor/256x256/apps/vellumark.png \
    ./usr/share/vellumark/symbols/folder.svg; do
    if ! grep -q " $expected\$" <<<"$contents"; then
        echo "missing from the package: $expected"
        status=1
    fi
done
if ! grep -q "^-rwxr-xr-x .* ./usr/bin/vellumark\$" <<<"$contents"; then
    echo "the program is not executable"
    status=1
fi

depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt6widgets6 libqt6gui6 libqt6svg6 libicu; do
    if ! grep -q "$library" <<<"$depends"; then
        echo "the package does not depend on $library: $depends"
        status=1
    fi
done

mkdir "$work/root"
dpkg-deb -x "$deb" "$work/root"
entry="$work/root/usr/share/applications/vellumark.desktop"
for line in "Type=Application" "Exec=vellumark" "Icon=vellumark" "Name=Vellumark"; do
    if ! grep -qx "$line" "$entry"; then
        echo "the desktop entry lacks $line"
        status=1
    fi
done
if [ $status -eq 0 ]; then
    echo "$(basename "$deb"): program, desktop entry and icons in place"
fi
exit $status
