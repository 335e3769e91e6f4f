# The version and the commit the programs are built from, for --version and the Windows version
# resources: build/generated/pelion_version.h, a header of plain macros that C++ and the resource
# compiler both read. It is written again only when its text changes, so a new commit rebuilds
# the few files that show it and nothing else.
#
# The commit comes from PELION_SOURCE_COMMIT in the environment when set (a build from a copy of
# the sources without their git history: ./run's check that two builds are identical), otherwise
# from git; a tree with changes not yet committed says so, so that no program claims a commit it
# was not built from.
function(pelion_source_commit out)
    if(DEFINED ENV{PELION_SOURCE_COMMIT})
        set(${out} "$ENV{PELION_SOURCE_COMMIT}" PARENT_SCOPE)
        return()
    endif()
    execute_process(COMMAND git rev-parse HEAD WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                    OUTPUT_VARIABLE commit OUTPUT_STRIP_TRAILING_WHITESPACE
                    RESULT_VARIABLE failed ERROR_QUIET)
    if(failed)
        set(${out} "unknown" PARENT_SCOPE)
        return()
    endif()
    execute_process(COMMAND git status --porcelain --untracked-files=no
                    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                    OUTPUT_VARIABLE changes OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(changes)
        string(APPEND commit " with local changes")
    endif()
    set(${out} "${commit}" PARENT_SCOPE)
endfunction()

pelion_source_commit(PELION_COMMIT)
set(PELION_GENERATED_DIR ${PROJECT_BINARY_DIR}/generated)
configure_file(${CMAKE_CURRENT_LIST_DIR}/pelion_version.h.in ${PELION_GENERATED_DIR}/pelion_version.h
               @ONLY)

# The header for the targets that show the version.
add_library(pelion_version INTERFACE)
target_include_directories(pelion_version INTERFACE ${PELION_GENERATED_DIR})

# pelion_add_version_resource(TARGET RC_FILE): a Windows program's version resource. The
# resource compiler tells the build nothing of the files it includes, so the resource is made
# again whenever the version header or the shared resource text changes, as C++ files are.
function(pelion_add_version_resource target rc)
    target_sources(${target} PRIVATE ${rc})
    target_link_libraries(${target} PRIVATE pelion_version)
    set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS
        "${PELION_GENERATED_DIR}/pelion_version.h;${PROJECT_SOURCE_DIR}/packaging/windows/version_resource.rc")
endfunction()

# Build paths stay out of the programs: file names in debug information and in __FILE__ are
# those inside the source tree, wherever the tree and the build folder lie, so that a release
# built anywhere is the same byte for byte. The build folder is mapped after the source tree it
# may lie in, because the compiler tries the last mapping first.
add_compile_options("$<$<COMPILE_LANGUAGE:CXX>:-ffile-prefix-map=${PROJECT_SOURCE_DIR}/=>"
                    "$<$<COMPILE_LANGUAGE:CXX>:-ffile-prefix-map=${PROJECT_BINARY_DIR}/=build/>")
