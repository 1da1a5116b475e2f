# Sanitizer builds: VESK_SANITIZE=address,undefined or VESK_SANITIZE=thread.
if(VESK_SANITIZE)
  set(_vesk_san "-fsanitize=${VESK_SANITIZE}")
  add_compile_options(${_vesk_san} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(${_vesk_san})
endif()
