# Cross-build for 64-bit Windows with Debian's mingw-w64 (package
# g++-mingw-w64-x86-64-posix: the posix thread model, which std::thread needs).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(QUAYLINK_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QUAYLINK_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUAYLINK_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${QUAYLINK_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${QUAYLINK_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# One .exe each, with the C++ runtime and the thread library inside: nothing to ship
# beside them. Stripped: the debug information of a static program is some 40 MB.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -s")
