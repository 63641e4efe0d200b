# One interface target carries the warning set and the sanitizer flags, so
# every library, program and test of the project is built the same way.
add_library(tolvana_warnings INTERFACE)
add_library(tolvana::warnings ALIAS tolvana_warnings)

target_compile_options(tolvana_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
  -Wnon-virtual-dtor -Wold-style-cast -Woverloaded-virtual
  -Wimplicit-fallthrough -Wformat=2)
if(TOLVANA_WERROR)
  target_compile_options(tolvana_warnings INTERFACE -Werror)
endif()

if(TOLVANA_SANITIZE)
  set(_tolvana_san -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_compile_options(tolvana_warnings INTERFACE ${_tolvana_san})
  target_link_options(tolvana_warnings INTERFACE ${_tolvana_san})
endif()

# clang gives up on a constant expression after about a million evaluation
# steps; lookup tables that the compiler builds once (the POCSAG slicer's
# peak decay table has 65537 entries) need more. GCC's limit is far higher.
if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  target_compile_options(tolvana_warnings INTERFACE -fconstexpr-steps=16777216)
endif()

# libFuzzer learns from the coverage of the code under test, not only of the
# fuzz target's own file: instrument everything (the fuzz targets add
# -fsanitize=fuzzer themselves, which also brings libFuzzer's main).
if(TOLVANA_BUILD_FUZZERS)
  target_compile_options(tolvana_warnings INTERFACE -fsanitize=fuzzer-no-link)
endif()
