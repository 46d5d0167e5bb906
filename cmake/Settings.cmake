# One target that carries the project's compiler settings; every library, the
# program and every test links it.
add_library(tessel_settings INTERFACE)
target_compile_features(tessel_settings INTERFACE cxx_std_20)
target_compile_definitions(tessel_settings INTERFACE
  QT_NO_CAST_FROM_ASCII
  QT_NO_CAST_FROM_BYTEARRAY
  QT_NO_URL_CAST_FROM_STRING
  QT_USE_QSTRINGBUILDER)
target_compile_options(tessel_settings INTERFACE -Wall -Wextra -Wpedantic)
if(TESSEL_SANITIZE)
  target_compile_options(tessel_settings INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer)
  target_link_options(tessel_settings INTERFACE -fsanitize=address,undefined)
endif()
