#!/usr/bin/env bash
# Prints a prescription, an injection card and a log book through a real CUPS server and checks
# where the rules and texts land in the PDF files its queues write (tests/cups/cups_print.cpp).
#
# The server is one of its own, run for the test alone in a temporary folder and reached over a
# socket there (CUPS_SERVER), so the machine's own CUPS, its queues and its default printer are
# left as they are. Its queues write PDF files with cups-pdf: "qarvel-pdf", the default, whose
# driver calls the whole page printable, and "qarvel-margins", the same driver told to keep 18 pt
# at the sides and 36 pt at top and bottom. cups-pdf reads a queue's settings from
# /etc/cups/cups-pdf-<queue>.conf: the one file made outside the temporary folder, removed again.
# Needs root (cups-pdf runs as root, as CUPS runs it).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
    exec sudo -n --preserve-env=CI "$0" "$@"
  fi
  echo "test-cups.sh runs a CUPS server of its own and needs root (or sudo without a password)." >&2
  exit 1
fi
"$root/scripts/deps.sh" --cups
"$root/scripts/build.sh" --target cups_print

work=$(mktemp -d /tmp/qarvel-cups.XXXXXX)
chmod 755 "$work"
tag=qarvel-test-$$
conf=/etc/cups/cups-pdf-$tag.conf
cupsd_pid=
cleanup() {
  if [ -n "$cupsd_pid" ]; then
    kill "$cupsd_pid" 2>/dev/null || true
    wait "$cupsd_pid" 2>/dev/null || true
  fi
  rm -f "$conf"
  rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work"/{etc,spool,cache,state,log,pdf-spool,out}
chmod 1777 "$work/out"
cat >"$work/etc/cupsd.conf" <<CONF
Listen $work/cups.sock
LogLevel warn
WebInterface No
Browsing No
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
CONF
cat >"$work/etc/cups-files.conf" <<CONF
ServerRoot $work/etc
RequestRoot $work/spool
CacheDir $work/cache
StateDir $work/state
Printcap $work/printcap
ServerBin /usr/lib/cups
DataDir /usr/share/cups
AccessLog $work/log/access_log
ErrorLog $work/log/error_log
PageLog $work/log/page_log
SystemGroup root
User lp
Group lp
CONF
cat >"$conf" <<CONF
Out $work/out
AnonDirName $work/out
Spool $work/pdf-spool
Log $work/log
UserUMask 0000
CONF

cupsd -f -c "$work/etc/cupsd.conf" -s "$work/etc/cups-files.conf" </dev/null >"$work/log/cupsd.out" 2>&1 &
cupsd_pid=$!
export CUPS_SERVER=$work/cups.sock
unset PRINTER LPDEST
for _ in $(seq 50); do
  [ -S "$CUPS_SERVER" ] && lpstat -r >/dev/null 2>&1 && break
  sleep 0.1
done
lpstat -r >/dev/null || { cat "$work/log/cupsd.out" "$work/log/error_log" >&2 || true; exit 1; }

ppd=/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd
sed 's|^\*ImageableArea A4/A4:.*|*ImageableArea A4/A4: "18 36 577 806"|' "$ppd" >"$work/margins.ppd"
# lpadmin says printer drivers are deprecated; cups-pdf is still one.
lpadmin -p qarvel-pdf -E -v "cups-pdf:/$tag" -P "$ppd" 2>/dev/null
lpadmin -p qarvel-margins -E -v "cups-pdf:/$tag" -P "$work/margins.ppd" 2>/dev/null
lpadmin -d qarvel-pdf

status=0
QT_QPA_PLATFORM=offscreen LANG=C.UTF-8 LC_ALL=C.UTF-8 QT_LOGGING_RULES='qarvel.*.debug=false' \
  QARVEL_CUPS_OUT="$work/out" QARVEL_CUPS_MARGINS_QUEUE=qarvel-margins \
  timeout 300 "$root/build/tests/cups_print" </dev/null || status=$?
if [ "$status" -ne 0 ]; then
  echo "--- the CUPS server's log ---" >&2
  cat "$work/log/error_log" >&2 2>/dev/null || true
fi
exit "$status"
