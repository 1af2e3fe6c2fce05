#!/usr/bin/env bash
# The Debian packages: made by CPack from the release build, with the files and the
# dependencies they must have, installable into a scratch root whose programs run.
#   package_test.sh BUILD_DIR
set -uo pipefail
build=$1
fail() { echo "package: $*" >&2; exit 1; }
command -v dpkg-deb >/dev/null || { echo "package: no dpkg-deb, skipped"; exit 0; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; fail "cpack failed"; }
config=$(ls "$work"/out/tavrin-config_*.deb 2>/dev/null | head -n 1)
lab=$(ls "$work"/out/tavrin-lab_*.deb 2>/dev/null | head -n 1)
[ -f "$config" ] || fail "no tavrin-config package"
[ -f "$lab" ] || fail "no tavrin-lab package"

# The files each package carries.
expect_file() {
  dpkg-deb -c "$1" | awk '{print $6}' | grep -qx "./$2" || fail "$(basename "$1") lacks $2"
}
for f in usr/bin/tavrin-config usr/bin/tavrin-cli \
         usr/share/applications/se.varnoll.tavrin-config.desktop \
         usr/share/metainfo/se.varnoll.tavrin-config.metainfo.xml \
         usr/share/icons/hicolor/scalable/apps/tavrin-config.svg \
         usr/share/icons/hicolor/48x48/apps/tavrin-config.png \
         usr/share/man/man1/tavrin-config.1.gz usr/share/man/man1/tavrin-cli.1.gz \
         usr/share/bash-completion/completions/tavrin-cli \
         usr/share/doc/tavrin-config/copyright; do
  expect_file "$config" "$f"
done
for f in usr/bin/tavrin-lab usr/lib/tavrin-lab/conmon-server usr/lib/tavrin-lab/device-sim \
         usr/share/man/man1/tavrin-lab.1.gz usr/share/doc/tavrin-lab/copyright; do
  expect_file "$lab" "$f"
done
if dpkg-deb -c "$config" | grep -q 'tavrin-lab\|device-sim'; then fail "tavrin-config carries the lab"; fi

# Runtime dependencies only: Qt and Avahi libraries, never their -dev packages.
depends=$(dpkg-deb -f "$config" Depends)
echo "tavrin-config depends: $depends"
grep -q 'libqt6widgets6' <<<"$depends" || fail "tavrin-config does not depend on the Qt 6 widgets runtime"
grep -q 'libavahi-client3' <<<"$depends" || fail "tavrin-config does not depend on the Avahi client runtime"
if grep -q -- '-dev' <<<"$depends$(dpkg-deb -f "$lab" Depends)"; then fail "a package depends on a -dev package"; fi

# Unpacked into a scratch root, the programs run from there.
root=$work/root
dpkg-deb -x "$config" "$root"
dpkg-deb -x "$lab" "$root"
# One version record: the package, both programs' --version, the AppStream metadata
# and the man pages say the same product version (and the programs the file version).
version=$(dpkg-deb -f "$config" Version)
[ "$(dpkg-deb -f "$lab" Version)" = "$version" ] || fail "the two packages' versions differ"
record="TAVRIN-PA22 Config Tool, file version 21.11.17.1, product TAVRIN-PA22 $version"
cli_version=$("$root/usr/bin/tavrin-cli" --version)
grep -qx "tavrin-cli $version" <<<"$cli_version" || fail "tavrin-cli --version: $cli_version"
grep -qxF "$record" <<<"$cli_version" || fail "tavrin-cli --version lacks the record: $cli_version"
config_version=$(QT_QPA_PLATFORM=offscreen "$root/usr/bin/tavrin-config" --version)
grep -q "^tavrin-config $version " <<<"$config_version" || fail "tavrin-config --version: $config_version"
grep -qxF "$record" <<<"$config_version" || fail "tavrin-config --version lacks the record"
release=$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' \
  "$root/usr/share/metainfo/se.varnoll.tavrin-config.metainfo.xml")
[ "$release" = "$version" ] || fail "the metainfo's release $release is not the package's $version"
zcat "$root/usr/share/man/man1/tavrin-cli.1.gz" | head -n 1 | grep -q "\"tavrin $version\"" ||
  fail "the man page names another version"
bash -n "$root/usr/share/bash-completion/completions/tavrin-cli" || fail "completion script"
# Installed as tavrin-lab, the lab script takes its programs from the package.
[ "$("$root/usr/bin/tavrin-lab" programs 2>&1)" = "$root/usr/lib/tavrin-lab" ] ||
  fail "tavrin-lab does not find its programs in /usr/lib/tavrin-lab"

# The validators, where installed.
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$root/usr/share/applications/se.varnoll.tavrin-config.desktop" || fail "desktop entry"
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$root/usr/share/metainfo/se.varnoll.tavrin-config.metainfo.xml" || fail "metainfo"
fi
if command -v lintian >/dev/null; then
  lintian --fail-on error "$config" "$lab" || fail "lintian reports errors"
fi
echo "package: $(basename "$config") and $(basename "$lab") are sound"
