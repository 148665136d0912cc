# SPDX-License-Identifier: MIT
# quillstash_warnings: the warning set every target of the project builds with.
add_library(quillstash_warnings INTERFACE)
target_compile_options(quillstash_warnings INTERFACE -Wall -Wextra -Wpedantic)
if(QUILLSTASH_WERROR)
  target_compile_options(quillstash_warnings INTERFACE -Werror)
endif()
