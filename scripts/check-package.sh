#!/usr/bin/env bash
# Makes the Debian package (scripts/package.sh) and checks it as a clinic's machine would meet
# it: its contents and fields, lintian, the desktop entry and AppStream validators, and a start
# of the unpacked program by an ordinary user, whose data must land in that user's home and not
# beside the read-only program. Runs as root (CI) or as a user with sudo.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

fail() { echo "check-package: $*" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"

"$root/scripts/package.sh" | tee "$work/package.log"
deb=$(tail -n 1 "$work/package.log")
[ -f "$deb" ] || fail "no package made"
echo "check-package: checking $deb"

# --- What it carries ---
contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
expected=(
  ./usr/bin/qarvel
  ./usr/share/applications/org.qarvel.Qarvel.desktop
  ./usr/share/metainfo/org.qarvel.Qarvel.metainfo.xml
  ./usr/share/icons/hicolor/scalable/apps/qarvel.svg
  ./usr/share/doc/qarvel/copyright
  ./usr/share/man/man1/qarvel.1.gz
)
for size in 16 24 32 48 64 128 256; do
  expected+=("./usr/share/icons/hicolor/${size}x${size}/apps/qarvel.png")
done
for path in "${expected[@]}"; do
  grep -qxF "$path" <<<"$contents" || fail "$path is not in the package"
done
depends=$(dpkg-deb -f "$deb" Depends)
for p in fonts-noto-cjk fonts-arphic-ukai fonts-arphic-uming qt6-translations-l10n libqt6widgets6 libsqlcipher0; do
  grep -qw "$p" <<<"$depends" || fail "Depends lacks $p: $depends"
done
recommends=$(dpkg-deb -f "$deb" Recommends)
[ "$recommends" = "fcitx5-frontend-qt6, qt6-wayland" ] || fail "Recommends is not fcitx5-frontend-qt6, qt6-wayland: $recommends"

# lintian says it should not run as root, and does all the same.
lintian --fail-on error,warning "$deb" 2>&1 | grep -v 'running with root privileges' || true
lintian --fail-on error,warning "$deb" >/dev/null 2>&1 || fail "lintian reports errors or warnings"

# --- Unpacked into a throw-away root ---
dpkg -x "$deb" "$work/root"
# Asked about itself, the program answers where there is no display.
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$work/root/usr/bin/qarvel" --help | grep -q -- "--init-server" \
  || fail "qarvel --help does not list --init-server"
desktop-file-validate "$work/root/usr/share/applications/org.qarvel.Qarvel.desktop"
appstreamcli validate --no-net "$work/root/usr/share/metainfo/org.qarvel.Qarvel.metainfo.xml"

# Every folder is writable for root, so the start is made by an unprivileged user; the unpacked
# /usr/bin belongs to root as an installed one does.
user=nobody
home=$work/home
mkdir -p "$home"
chown "$user:" "$home"
data=$home/.local/share/Qarvel/数据库
as_user=(runuser -u "$user" --)
[ "$(id -u)" -eq 0 ] || as_user=(sudo -u "$user")
"${as_user[@]}" env -i HOME="$home" LANG=C.UTF-8 QT_QPA_PLATFORM=offscreen PATH=/usr/bin:/bin \
  timeout 60 "$work/root/usr/bin/qarvel" >"$work/run.log" 2>&1 </dev/null &
run=$!
for _ in $(seq 300); do
  [ -s "$data/档案.dat" ] && [ -s "$data/设置.dat" ] && break
  kill -0 "$run" 2>/dev/null || break
  sleep 0.1
done
started=no
kill -0 "$run" 2>/dev/null && started=yes
kill "$run" 2>/dev/null || true
wait "$run" 2>/dev/null || true
[ "$started" = yes ] || { cat "$work/run.log" >&2; fail "the program ended on its own instead of running"; }
[ -s "$data/档案.dat" ] && [ -s "$data/设置.dat" ] || { cat "$work/run.log" >&2; fail "no databases under $data"; }
[ "$(stat -c %U "$data/档案.dat")" = "$user" ] || fail "the records file does not belong to $user"
beside=$(find "$work/root" -name '数据库*')
[ -z "$beside" ] || fail "data were written beside the program: $beside"
echo "check-package: package checked; the unpacked program keeps its data in \$HOME/.local/share/Qarvel"
