#!/usr/bin/env bash
# Builds the Debian package kalvo_<version>_amd64.deb in the checkout's top folder from a
# Release build in build-release/ (the folder setup.sh builds in too):
#   /usr/lib/vst/Kalvo.so, /usr/lib/lv2/kalvo.lv2/, /usr/lib/vst3/Kalvo.vst3/, /usr/bin/kalvo-render,
#   /usr/bin/kalvo-snapshot, their manual pages,
#   bash completion for kalvo-render, /usr/share/doc/kalvo/{copyright,changelog.gz}.
# The version is the project's one version number (CMakeLists.txt); the dependencies come
# from the shared libraries the binaries actually link (dpkg-shlibdeps).
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD
scripts/deps.sh --package
umask 022

builddir=build-release
# Debian's hardening: checked buffer functions, and relocations resolved and made read-only
# at load time.
hardening_link="-Wl,-z,relro -Wl,-z,now"
cmake -S . -B "$builddir" -DCMAKE_BUILD_TYPE=Release -DKALVO_BUILD_TESTS=OFF -DKALVO_BUILD_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="-D_FORTIFY_SOURCE=2" -DCMAKE_EXE_LINKER_FLAGS="$hardening_link" \
  -DCMAKE_MODULE_LINKER_FLAGS="$hardening_link" >/dev/null
cmake --build "$builddir" -j"$(nproc)"

version=$(sed -n 's/^#define KALVO_VERSION_STRING "\(.*\)"$/\1/p' "$builddir/generated/KalvoVersion.h")
changelog_version=$(dpkg-parsechangelog -l packaging/debian/changelog -S Version)
if [ "$version" != "$changelog_version" ]; then
  echo "package-deb: packaging/debian/changelog starts with $changelog_version, the project is $version;" \
    "add an entry for $version" >&2
  exit 1
fi
# Dates inside the package (manual pages, archive members) from the changelog, so that the
# same sources give the same package.
SOURCE_DATE_EPOCH=$(dpkg-parsechangelog -l packaging/debian/changelog -S Timestamp)
export SOURCE_DATE_EPOCH

work=$builddir/deb
stage=$work/debian/kalvo
rm -rf "$work"
mkdir -p "$stage"
DESTDIR=$top/$stage cmake --install "$builddir" --prefix /usr >/dev/null
# Stripped as Debian strips: no symbols beyond those the loader needs, no compiler notes.
strip --remove-section=.comment --remove-section=.note "$stage"/usr/bin/kalvo-render "$stage"/usr/bin/kalvo-snapshot
strip --remove-section=.comment --remove-section=.note --strip-unneeded "$stage"/usr/lib/vst/Kalvo.so \
  "$stage"/usr/lib/lv2/kalvo.lv2/*.so "$stage"/usr/lib/vst3/Kalvo.vst3/Contents/x86_64-linux/Kalvo.so
gzip -9n "$stage"/usr/share/man/man1/*.1
install -d "$stage/usr/share/doc/kalvo"
install -m 0644 packaging/debian/copyright "$stage/usr/share/doc/kalvo/copyright"
gzip -9n -c packaging/debian/changelog >"$stage/usr/share/doc/kalvo/changelog.gz"
chmod 0644 "$stage/usr/share/doc/kalvo/changelog.gz"

# dpkg-shlibdeps and dpkg-gencontrol work in a source-like tree: debian/control and
# debian/changelog beside the staged package in debian/kalvo.
cp packaging/debian/control packaging/debian/changelog "$work/debian/"
(
  cd "$work"
  mkdir -p debian/kalvo/DEBIAN
  dpkg-shlibdeps -Tdebian/kalvo.substvars debian/kalvo/usr/lib/vst/Kalvo.so debian/kalvo/usr/lib/lv2/kalvo.lv2/*.so \
    debian/kalvo/usr/lib/vst3/Kalvo.vst3/Contents/x86_64-linux/Kalvo.so debian/kalvo/usr/bin/kalvo-render \
    debian/kalvo/usr/bin/kalvo-snapshot
  dpkg-gencontrol -pkalvo -Tdebian/kalvo.substvars -Pdebian/kalvo
  cd debian/kalvo
  find usr -type f -print0 | sort -z | xargs -0 md5sum >DEBIAN/md5sums
  chmod 0644 DEBIAN/control DEBIAN/md5sums
)
# Timestamps of the files from the changelog too.
find "$stage" -newermt "@$SOURCE_DATE_EPOCH" -exec touch --no-dereference --date="@$SOURCE_DATE_EPOCH" {} +

deb=kalvo_${version}_amd64.deb
dpkg-deb --root-owner-group -Zxz --build "$stage" "$deb" >/dev/null
echo "Built $top/$deb"
