# Sourced by ./test and ./run (bash). Where this machine cannot run 32-bit
# programs (tools/wine32-runs.sh), QB480_NO_WINE32 says why and the 64-bit
# loader stands in for `wine` (tests/wine/wine64-only): the 64-bit programs
# and the win64 prefixes work as anywhere, and what needs a 32-bit process
# (the i686 suites, the x86 package's installations, screenshots taken
# from the i686 programs) is not run, with a line that says so.
if QB480_NO_WINE32=$(tools/wine32-runs.sh); then
    unset QB480_NO_WINE32
else
    export QB480_NO_WINE32
    case ":$PATH:" in *":$PWD/tests/wine/wine64-only:"*) ;; *) export PATH="$PWD/tests/wine/wine64-only:$PATH" ;; esac
fi
