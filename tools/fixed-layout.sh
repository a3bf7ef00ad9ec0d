# Sourced by ./test and ./run first thing, in the checkout: the run, and every
# process it starts, gets a fixed address-space layout (setarch -R; children
# inherit it), unless it has one already or the kernel refuses it (some
# containers' seccomp), where the run goes on as it is.
#
# Why: Debian's Wine 8 has no preloader. Its 64-bit loader sits at
# 0x7d000000, and the kernel starts the heap at a random place in the 1 GiB
# above it. About one Wine process in 2,000 then has its heap over 0x7ffe0000,
# where Wine maps the shared user data, and ends before it has run ("failed
# to map the shared user data: c0000018", exit 1 and no output when Wine's
# messages are off; a parent's CreateProcess fails with 1359). With a fixed
# layout the heap starts just above the loader, 47 MiB below that address.
read -r qb480_personality </proc/self/personality || qb480_personality=0
if [ $((0x$qb480_personality & 0x40000)) -eq 0 ] && setarch -R true 2>/dev/null; then
    exec setarch -R "./$(basename "$0")" "$@"
fi
unset qb480_personality
