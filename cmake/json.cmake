# pelion_use_json(TARGET): the header-only JSON library for TARGET's own sources. The Windows
# cross build finds no package of it in its own root, so it takes the same headers through a
# folder that holds nothing else.
function(pelion_use_json target)
    if(MINGW)
        find_path(PELION_JSON_HEADERS nlohmann/json.hpp NO_CMAKE_FIND_ROOT_PATH REQUIRED)
        set(json_folder ${CMAKE_CURRENT_BINARY_DIR}/json_headers)
        file(MAKE_DIRECTORY ${json_folder})
        file(CREATE_LINK ${PELION_JSON_HEADERS}/nlohmann ${json_folder}/nlohmann SYMBOLIC)
        target_include_directories(${target} SYSTEM PRIVATE ${json_folder})
    else()
        find_package(nlohmann_json 3 REQUIRED)
        target_link_libraries(${target} PRIVATE nlohmann_json::nlohmann_json)
    endif()
endfunction()
