# Warning flags and sanitizers, kept in one place for every target.
add_library(quillmere_options INTERFACE)
target_compile_options(quillmere_options INTERFACE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor)
if(QUILLMERE_WERROR)
  target_compile_options(quillmere_options INTERFACE -Werror)
endif()
if(QUILLMERE_SANITIZE)
  target_compile_options(quillmere_options INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(quillmere_options INTERFACE -fsanitize=address,undefined)
endif()
# A unity build compiles several .cpp files as one; GCC then takes the types of
# each file's anonymous namespace as coming from a header and warns about them.
if(CMAKE_UNITY_BUILD AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  target_compile_options(quillmere_options INTERFACE -Wno-subobject-linkage)
endif()
