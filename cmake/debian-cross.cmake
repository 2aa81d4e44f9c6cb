# Cross-builds on Debian for the architecture DEB_HOST_ARCH (armhf, arm64), with
# Debian's cross compiler and the libraries installed as DEB_HOST_ARCH (see
# tools/cross.sh):
#   cmake -S . -B build -DCMAKE_TOOLCHAIN_FILE=cmake/debian-cross.cmake -DDEB_HOST_ARCH=armhf
# Qt's moc, rcc and uic are the build machine's (Debian's Qt tools serve every
# architecture). The tests, and the programs they start, run under qemu-user.
set(DEB_HOST_ARCH "" CACHE STRING "The Debian architecture to build for")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES DEB_HOST_ARCH)
foreach(part GNU_TYPE GNU_CPU)
  execute_process(COMMAND dpkg-architecture -a${DEB_HOST_ARCH} -qDEB_HOST_${part}
                  OUTPUT_VARIABLE ${part} OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET
                  COMMAND_ERROR_IS_FATAL ANY)
endforeach()

set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR ${GNU_CPU})
set(CMAKE_CXX_COMPILER ${GNU_TYPE}-g++)
set(PKG_CONFIG_EXECUTABLE ${GNU_TYPE}-pkg-config)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-${GNU_CPU})
