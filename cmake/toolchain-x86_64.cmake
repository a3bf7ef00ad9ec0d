# Cross build for Windows x86_64 with mingw-w64. The -posix compilers are needed:
# the win32 thread model's libstdc++ has no std::mutex, which GoogleTest uses.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(QB480_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER   ${QB480_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QB480_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${QB480_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${QB480_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
