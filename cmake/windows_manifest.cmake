# The application manifest of a Windows program, embedded as its resource 1 of type 24 (where
# Windows looks for it when it starts the program): the ANSI code page is UTF-8 (Windows 10
# 1903 and later), the program draws itself for each monitor's DPI instead of being stretched,
# and its controls are those of Common Controls 6. It also names the Windows versions the
# program was made for (7 to 11): Windows gives a program that names none the behaviour of
# Vista.
set(PELION_MANIFEST_TEMPLATE ${CMAKE_CURRENT_LIST_DIR}/program.manifest.in)

# pelion_embed_manifest(TARGET DESCRIPTION)
function(pelion_embed_manifest target description)
    set(PELION_MANIFEST_NAME ${target})
    set(PELION_MANIFEST_DESCRIPTION "${description}")
    set(PELION_MANIFEST_VERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0)
    set(manifest ${CMAKE_CURRENT_BINARY_DIR}/${target}.manifest)
    set(resource ${CMAKE_CURRENT_BINARY_DIR}/${target}_manifest.rc)
    configure_file(${PELION_MANIFEST_TEMPLATE} ${manifest} @ONLY)
    file(WRITE ${resource} "1 24 \"${manifest}\"\n")
    target_sources(${target} PRIVATE ${resource})
    set_source_files_properties(${resource} PROPERTIES OBJECT_DEPENDS ${manifest})
endfunction()
