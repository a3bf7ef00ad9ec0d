#!/bin/sh
# Exits 0 when this machine can start Wine's 32-bit loader; otherwise prints
# why on one line and exits 1. Some kernels (and some virtual machines)
# refuse every 32-bit program ("Exec format error"): there no 32-bit
# Windows program can run under Wine, in a win32 prefix or through WOW64.
loader=/usr/lib/wine/wine
if [ ! -x "$loader" ]; then
    echo "Wine's 32-bit loader ($loader) is not installed"
    exit 1
fi
if error=$("$loader" --version 2>&1 >/dev/null); then
    exit 0
fi
echo "this machine cannot run 32-bit programs (${error##*: })"
exit 1
