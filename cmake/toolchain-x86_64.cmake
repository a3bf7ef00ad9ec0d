# Cross build for Windows x86_64 with mingw-w64. The tests need the -posix
# compilers: the win32 thread model's libstdc++ has no std::mutex, which
# GoogleTest uses. The release build uses the win32 model, whose runtime
# needs no pthreads emulation linked into every binary.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(QB480_TRIPLE x86_64-w64-mingw32)
if(NOT QB480_THREAD_MODEL)
  set(QB480_THREAD_MODEL posix)
endif()
set(CMAKE_C_COMPILER   ${QB480_TRIPLE}-gcc-${QB480_THREAD_MODEL})
set(CMAKE_CXX_COMPILER ${QB480_TRIPLE}-g++-${QB480_THREAD_MODEL})
set(CMAKE_RC_COMPILER  ${QB480_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${QB480_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
