# Where an installed copy puts its files. The program folder (the executables and
# every shipped file beside them) is a private folder under lib/; the programs
# reach users' PATH through symlinks in bin/, which the programs resolve to their
# real folder when they look for their shipped files.
set(SONOREL_INSTALL_PROGRAM_DIR lib/sonorel CACHE STRING
    "Program folder of an installed copy, relative to the install prefix")

# Files shipped beside the programs: copied into the build's program folder at
# build time (so the build tree runs as it is) and installed into the installed
# one. The names are gathered in the global property SONOREL_SHIPPED_FILES for the
# install checks.
function(sonorel_ship_files target)
    set(staged)
    set(names)
    foreach(file IN LISTS ARGN)
        get_filename_component(source ${file} ABSOLUTE)
        get_filename_component(name ${file} NAME)
        add_custom_command(
            OUTPUT ${SONOREL_BIN_DIR}/${name}
            COMMAND ${CMAKE_COMMAND} -E copy_if_different ${source} ${SONOREL_BIN_DIR}/${name}
            DEPENDS ${source}
            COMMENT "Staging ${name}")
        list(APPEND staged ${SONOREL_BIN_DIR}/${name})
        list(APPEND names ${name})
        install(FILES ${source} DESTINATION ${SONOREL_INSTALL_PROGRAM_DIR})
    endforeach()
    add_custom_target(${target} ALL DEPENDS ${staged})
    set_property(GLOBAL APPEND PROPERTY SONOREL_SHIPPED_FILES ${names})
endfunction()
