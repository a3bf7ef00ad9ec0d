// Every deliverable's own std::string, compiled as the rest of it is:
// without exceptions and, on i686, without unwind tables. Left to the
// library's instance, one member a program needs would link all of that
// instance with its unwind data and, through its personality routine, the
// whole unwinder (some 30 KB that the linker cannot drop).
#include <string>

template class std::basic_string<char>;
