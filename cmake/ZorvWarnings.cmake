# The warnings every target of ours is built with, through
# zorv_target_warnings(); third-party code (GoogleTest) is built without them.
# CI and every preset make them errors (ZORV_WERROR); a plain build leaves
# them warnings, so that a newer compiler's new warning does not stop a
# user's build.
option(ZORV_WERROR "Treat compiler warnings as errors" OFF)

function(zorv_target_warnings target)
    target_compile_options(${target} PRIVATE
        -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
        -Wcast-qual -Wformat=2 -Wundef -Wnon-virtual-dtor -Woverloaded-virtual
        $<$<BOOL:${ZORV_WERROR}>:-Werror>)
endfunction()
