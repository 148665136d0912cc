# SPDX-License-Identifier: MIT
# quillstash_warnings: the warning set every target of the project builds with.
add_library(quillstash_warnings INTERFACE)
target_compile_options(quillstash_warnings INTERFACE -Wall -Wextra -Wpedantic)
if(QUILLSTASH_WERROR)
  target_compile_options(quillstash_warnings INTERFACE -Werror)
endif()
# GCC 12 warns of overlapping copies inside libstdc++'s own string code at
# -O2 and above (a false report, fixed in GCC 13), which the optimised cross
# builds hit.
if(CMAKE_CROSSCOMPILING AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  target_compile_options(quillstash_warnings INTERFACE -Wno-restrict)
endif()
