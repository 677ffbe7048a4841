# The fuzzing build: clang's libFuzzer with AddressSanitizer and UndefinedBehaviorSanitizer. Every
# target of ours is compiled with coverage instrumentation, so the fuzzer sees the paths inside
# the readers and exports; only the fuzz programs link libFuzzer's main.
if(LINOVEX_BUILD_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        message(FATAL_ERROR "LINOVEX_BUILD_FUZZ needs clang: configure with -DCMAKE_CXX_COMPILER=clang++")
    endif()
    # Without AddressSanitizer the programs run several times as fast, for long campaigns whose
    # corpus is then replayed by the sanitized programs.
    option(LINOVEX_FUZZ_ADDRESS "Fuzz with AddressSanitizer" ON)
    if(LINOVEX_FUZZ_ADDRESS)
        set(linovex_fuzz_sanitizers address,undefined)
    else()
        set(linovex_fuzz_sanitizers undefined)
    endif()
    add_compile_options(-fsanitize=fuzzer-no-link,${linovex_fuzz_sanitizers}
        -fno-sanitize-recover=all -fno-omit-frame-pointer -g)
    add_link_options(-fsanitize=${linovex_fuzz_sanitizers})
endif()
