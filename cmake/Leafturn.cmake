# Conventions every target of ours follows.

# The layers of the program, lowest first, and the folders of each. A library of a layer sees
# the headers of its own layer and of the layers below, nothing above: its include directory is
# a tree of links to just those headers (made at configure time), so that an include that goes
# up a layer does not compile. Tools, tests and the stand-in control sit on top and see all.
set(LEAFTURN_LAYERS base package graphics framework host player app)
set(LEAFTURN_LAYER_FOLDERS_base base)
set(LEAFTURN_LAYER_FOLDERS_package package lib/MyLib)
set(LEAFTURN_LAYER_FOLDERS_graphics qel/graphics)
set(LEAFTURN_LAYER_FOLDERS_framework ui)
set(LEAFTURN_LAYER_FOLDERS_host qel/host)
set(LEAFTURN_LAYER_FOLDERS_player qel/player qel pages pageturn)
set(LEAFTURN_LAYER_FOLDERS_app app)

function(leafturn_make_layer_includes)
    set(visible "")
    foreach(layer IN LISTS LEAFTURN_LAYERS)
        list(APPEND visible ${LEAFTURN_LAYER_FOLDERS_${layer}})
        set(root ${CMAKE_BINARY_DIR}/layers/${layer})
        file(REMOVE_RECURSE ${root})
        foreach(folder IN LISTS visible)
            file(GLOB headers CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${folder}/*.h)
            file(MAKE_DIRECTORY ${root}/${folder})
            foreach(header IN LISTS headers)
                get_filename_component(name ${header} NAME)
                file(CREATE_LINK ${header} ${root}/${folder}/${name} SYMBOLIC)
            endforeach()
        endforeach()
    endforeach()
endfunction()

# Warnings are errors in our own code (not in GoogleTest or other code we build). Programs and
# the libraries of tools and tests see the whole tree.
function(leafturn_defaults target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
endfunction()

# A static library of ours, in the layer its folder names with LEAFTURN_LAYER (none: on top).
function(leafturn_library target)
    add_library(${target} STATIC ${ARGN})
    if(DEFINED LEAFTURN_LAYER)
        target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
        target_include_directories(${target} PUBLIC ${CMAKE_BINARY_DIR}/layers/${LEAFTURN_LAYER})
    else()
        leafturn_defaults(${target})
    endif()
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
