# One target that carries the project's compiler settings; every library, the
# program and every test links it.
add_library(tessel_settings INTERFACE)
target_compile_features(tessel_settings INTERFACE cxx_std_20)
target_compile_definitions(tessel_settings INTERFACE
  QT_NO_CAST_FROM_ASCII
  QT_NO_CAST_TO_ASCII
  QT_NO_CAST_FROM_BYTEARRAY
  QT_NO_URL_CAST_FROM_STRING
  QT_USE_QSTRINGBUILDER)
target_compile_options(tessel_settings INTERFACE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
                                                 -Woverloaded-virtual -Wold-style-cast)
if(TESSEL_WERROR)
  target_compile_options(tessel_settings INTERFACE -Werror)
endif()
if(TESSEL_SANITIZE)
  target_compile_options(tessel_settings INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer)
  target_link_options(tessel_settings INTERFACE -fsanitize=address,undefined)
endif()
if(TESSEL_BUILD_FUZZERS)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "The fuzz targets need clang (-DCMAKE_CXX_COMPILER=clang++-14).")
  endif()
  # Everything gets the fuzzer's coverage and the sanitizers; any report ends the run.
  target_compile_options(tessel_settings INTERFACE -fsanitize=fuzzer-no-link,address,undefined
                                                   -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_link_options(tessel_settings INTERFACE -fsanitize=address,undefined)
endif()
