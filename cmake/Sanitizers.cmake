# The sanitizer build instruments everything, third-party code we compile included.
if(LINOVEX_SANITIZE)
    set(_san -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    add_compile_options(${_san})
    add_link_options(-fsanitize=address,undefined)
endif()
