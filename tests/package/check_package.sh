#!/bin/sh
# Builds the Debian package from the build tree, installs it with dpkg into a fresh root and
# starts the installed program; checks what it holds with the desktop's own validators.
# Usage: check_package.sh BUILD_DIR [lintian]   (with "lintian": lintian must find no error)
set -eu
build=$1
work=$(mktemp -d /tmp/sinora-package-XXXXXX)
trap 'rm -rf "$work"' EXIT
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" > "$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/out/sinora_*.deb)
if [ "${2:-}" = lintian ]; then
  status=0
  lintian --fail-on error "$deb" > "$work/lintian.log" 2>&1 || status=$?
  grep -v "root privileges" "$work/lintian.log" || true
  [ "$status" -eq 0 ] && echo "lintian: no errors"
  exit "$status"
fi
# The dependencies were computed from the programs' libraries.
dpkg-deb -f "$deb" Depends | grep -q libqt6widgets6 || { echo "no computed Depends"; exit 1; }
dpkg-deb -f "$deb" Depends | grep -q libdcmtk || { echo "DCMTK missing from Depends"; exit 1; }
root=$work/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
touch "$root/var/lib/dpkg/status" "$root/var/lib/dpkg/available"
# The fresh root has no libraries of its own: they are the host's, so dependencies are not
# asked of its empty database.
dpkg --root="$root" --force-depends --force-not-root --log=/dev/null -i "$deb" > "$work/dpkg.log" 2>&1 ||
  { cat "$work/dpkg.log"; exit 1; }
dpkg --root="$root" -s sinora | grep -q "^Status: install ok installed"
for f in usr/bin/sinora usr/bin/sinora-render usr/bin/sinora-sample usr/bin/sinora-screenshots \
         usr/share/applications/io.github.sinora.Sinora.desktop \
         usr/share/metainfo/io.github.sinora.Sinora.metainfo.xml \
         usr/share/mime/packages/io.github.sinora.Sinora.xml \
         usr/share/icons/hicolor/16x16/apps/io.github.sinora.Sinora.png \
         usr/share/icons/hicolor/256x256/apps/io.github.sinora.Sinora.png \
         usr/share/man/man1/sinora.1.gz usr/share/man/man1/sinora-render.1.gz \
         usr/share/man/man1/sinora-sample.1.gz usr/share/man/man1/sinora-screenshots.1.gz \
         usr/share/doc/sinora/copyright usr/share/doc/sinora/changelog.gz; do
  [ -s "$root/$f" ] || { echo "missing from the package: /$f"; exit 1; }
done
version=$(QT_QPA_PLATFORM=offscreen "$root/usr/bin/sinora" --version)
echo "installed sinora --version: $version"
echo "$version" | grep -q "1.0.0.1"
"$root/usr/bin/sinora-render" --help | grep -q -- "--export"
desktop-file-validate "$root/usr/share/applications/io.github.sinora.Sinora.desktop"
grep -q "^MimeType=.*application/x-interfile" "$root/usr/share/applications/io.github.sinora.Sinora.desktop"
appstreamcli validate --no-net "$root/usr/share/metainfo/io.github.sinora.Sinora.metainfo.xml" > "$work/as.log" 2>&1 ||
  { cat "$work/as.log"; exit 1; }
# The Interfile type is known by its glob and its first bytes once the MIME database has it.
mkdir -p "$work/mime/packages"
cp "$root/usr/share/mime/packages/io.github.sinora.Sinora.xml" "$work/mime/packages/"
update-mime-database "$work/mime" > /dev/null 2>&1
grep -q "application/x-interfile:\*\.hs" "$work/mime/globs" || { echo "no *.hs glob"; exit 1; }
grep -q "application/x-interfile:\*\.h33" "$work/mime/globs" || { echo "no *.h33 glob"; exit 1; }
for page in sinora sinora-render sinora-sample sinora-screenshots; do
  man --warnings -l "$root/usr/share/man/man1/$page.1.gz" 2>&1 > /dev/null | grep . && exit 1
done
echo "package installed and started"
