# The posix thread model gives std::thread and std::mutex; the runtime is
# linked statically (see vlp_windows_binary).
set(CMAKE_C_COMPILER ${VLP_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VLP_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${VLP_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${VLP_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
