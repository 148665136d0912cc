# SPDX-License-Identifier: MIT
# quillstash_warnings: the warning set every target of the project builds with.
add_library(quillstash_warnings INTERFACE)
target_compile_options(quillstash_warnings INTERFACE -Wall -Wextra -Wpedantic)
if(QUILLSTASH_WERROR)
  target_compile_options(quillstash_warnings INTERFACE -Werror)
endif()
# GCC 12 at -O3 reports overlapping copies inside libstdc++'s own string code
# and out-of-bounds reads behind a bounds check it has inlined (false reports,
# fixed in GCC 13), which the optimised cross builds hit.
if(CMAKE_CROSSCOMPILING AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  target_compile_options(quillstash_warnings INTERFACE -Wno-restrict -Wno-array-bounds)
endif()
