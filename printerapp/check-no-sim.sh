#!/bin/sh
# Fails when the program holds any piece of the simulated Windows host: its
# namespace, or an entry point only the host defines (the spooler, the
# engine, the profile files, the HID bus).
set -eu
program=$1
found=$(nm -C "$program" | grep -E ' [TtDdBbRr] ' | grep -E 'sim::|WritePrinter|OpenPrinterW|EngCreateBitmap|GetPrivateProfileIntW|HidD_' || true)
if [ -n "$found" ]; then
  echo "$program holds the simulated host:" >&2
  echo "$found" | head -20 >&2
  exit 1
fi
echo "$program: no simulated host"
