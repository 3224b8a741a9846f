# vq_generate_assets(NAME TOOL <target> OUTPUTS <file>... [ARGS <arg>...])
# Runs a generator from tools/ at build time. The generator is called as
#   <tool> <data folder> [ARGS...]
# and must write exactly the named OUTPUTS (bare names, relative to the data folder).
function(vq_generate_assets NAME)
    cmake_parse_arguments(A "" "TOOL" "OUTPUTS;ARGS" ${ARGN})
    set(outs)
    foreach(o ${A_OUTPUTS})
        list(APPEND outs ${VQ_DATA_DIR}/${o})
    endforeach()
    add_custom_command(OUTPUT ${outs}
                       # Sanitizer builds: leaks inside system libraries are not the generator's.
                       COMMAND ${CMAKE_COMMAND} -E env
                               LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/lsan.supp
                               $<TARGET_FILE:${A_TOOL}> ${VQ_DATA_DIR} ${A_ARGS}
                       DEPENDS ${A_TOOL}
                       WORKING_DIRECTORY ${VQ_DATA_DIR}
                       COMMENT "Generating ${NAME}")
    add_custom_target(assets_${NAME} ALL DEPENDS ${outs})
    set_property(GLOBAL APPEND PROPERTY VQ_ASSET_TARGETS assets_${NAME})
endfunction()
