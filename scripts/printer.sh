#!/usr/bin/env bash
# A real printer for the print tests: starts the CUPS scheduler when it is not running and
# makes a PDF queue ("PDF", cups-pdf, one PDF per job) the default. Safe to run again: an
# existing queue and a running scheduler are left as they are. A scheduler or queue new here
# prints one page of its own first, so the tests start with a printer that has shown it works.
set -uo pipefail

queue=${KAPTOR_PRINTER:-PDF}
ppd=/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd

command -v cupsd >/dev/null && command -v lpadmin >/dev/null || {
  echo "printer.sh: cups is not installed (scripts/setup.sh installs it)" >&2
  exit 1
}

new=""
# No service manager here: the scheduler is started by hand and answers on its socket.
if ! lpstat -r 2>/dev/null | grep -q "is running"; then
  new=1
  cupsd || { echo "printer.sh: cupsd did not start" >&2; exit 1; }
  for _ in $(seq 50); do
    lpstat -r 2>/dev/null | grep -q "is running" && break
    sleep 0.1
  done
fi
lpstat -r 2>/dev/null | grep -q "is running" || { echo "printer.sh: cupsd not answering" >&2; exit 1; }

if ! lpstat -p "$queue" >/dev/null 2>&1; then
  new=1
  lpadmin -p "$queue" -v cups-pdf:/ -E -P "$ppd" || { echo "printer.sh: cannot add $queue" >&2; exit 1; }
fi
cupsenable "$queue" 2>/dev/null
cupsaccept "$queue" 2>/dev/null
if [ "$(lpstat -d 2>/dev/null | sed -n 's/.*: *//p')" != "$queue" ]; then
  lpadmin -d "$queue" || exit 1
fi

# The first job of a new queue is slow (the converter's caches, the output folder made) or
# fails outright: learn it here, not from a print test waiting for a page.
if [ -n "$new" ]; then
  out=$HOME/PDF  # cups-pdf writes into the user's PDF folder
  title=KaptorPrinterCheck
  rm -f "$out"/*"$title"*.pdf
  printf '%%!PS\nshowpage\n' | lp -d "$queue" -t "$title" >/dev/null ||
    { echo "printer.sh: $queue does not accept a job" >&2; exit 1; }
  printed=""
  for _ in $(seq 240); do
    printed=$(ls "$out"/*"$title"*.pdf 2>/dev/null | head -1)
    [ -n "$printed" ] && break
    sleep 0.5
  done
  [ -n "$printed" ] || { echo "printer.sh: $queue wrote no PDF into $out within 2 minutes" >&2; exit 1; }
  rm -f "$printed"
fi
exit 0
