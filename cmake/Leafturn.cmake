# Conventions every target of ours follows.

# Warnings are errors in our own code (not in GoogleTest or other code we build).
function(leafturn_defaults target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
endfunction()

# A static library of ours.
function(leafturn_library target)
    add_library(${target} STATIC ${ARGN})
    leafturn_defaults(${target})
endfunction()

# A GoogleTest program, registered with CTest. It is judged by its XML report as well as its
# exit code: under Wine a crashing program may still exit with 0.
function(leafturn_gtest target)
    add_executable(${target} ${ARGN})
    leafturn_defaults(${target})
    target_link_libraries(${target} PRIVATE leafturn_test_main)
    add_test(NAME ${target}
             COMMAND ${PROJECT_SOURCE_DIR}/cmake/run-gtest
                     ${CMAKE_CURRENT_BINARY_DIR}/${target}.xml
                     ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:${target}>)
endfunction()
