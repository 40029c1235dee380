# 32-bit Windows, the shipping build. This machine cannot run it: it is built and linked only.
set(LEAFTURN_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
