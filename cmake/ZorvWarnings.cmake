# Warnings are errors on every build. Third-party code (GoogleTest) is built
# without these flags; our targets get them through zorv_target_warnings().
function(zorv_target_warnings target)
    target_compile_options(${target} PRIVATE
        -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
        -Wcast-qual -Wformat=2 -Wundef -Wnon-virtual-dtor -Woverloaded-virtual
        -Werror)
endfunction()
