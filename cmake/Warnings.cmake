# Every target of ours links this interface target to get the project's warning set.
add_library(linovex_warnings INTERFACE)
target_compile_options(linovex_warnings INTERFACE
    -Wall -Wextra -Wnon-virtual-dtor -Wsuggest-override -Wimplicit-fallthrough -Wformat=2)
if(LINOVEX_WERROR)
    target_compile_options(linovex_warnings INTERFACE -Werror)
endif()
