#pragma once
// Native builds only: the C library calls the converter makes, made to fail
// once on demand. The unit tests are linked with -Wl,--wrap for each of
// them; every other call goes through unchanged.
enum class LibcCall { Calloc, Realloc, Fdopen, Fwrite };

// The next call of that function fails (ENOMEM, or a short write).
void FailNextCall(LibcCall call);
