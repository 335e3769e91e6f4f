# What a Qt window program needs beside it on Windows, and its copy there after each link: the
# Qt DLLs it imports, the platform and style plugins Qt loads at start, and the C++ runtime of
# mingw-w64. Nothing else: the packages for Windows ship exactly this list.
set(PELION_WINDOWS_QT_DLLS Qt6Core Qt6Gui Qt6Widgets)
set(PELION_WINDOWS_QT_PLUGINS platforms/qwindows styles/qwindowsvistastyle)
set(PELION_WINDOWS_MINGW_DLLS libgcc_s_seh-1.dll libstdc++-6.dll libwinpthread-1.dll)

# The mingw runtime DLLs lie where the compiler finds its own libraries; it answers with the
# bare name for a file it does not have.
function(pelion_find_mingw_dll name out)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${name}
                    OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${path}")
        message(FATAL_ERROR "${CMAKE_CXX_COMPILER} has no ${name}")
    endif()
    set(${out} ${path} PARENT_SCOPE)
endfunction()

function(pelion_deploy_windows_runtime target)
    set(qt ${PELION_QT_WINDOWS})
    set(commands)
    foreach(dll ${PELION_WINDOWS_QT_DLLS})
        list(APPEND commands COMMAND ${CMAKE_COMMAND} -E copy_if_different ${qt}/bin/${dll}.dll
             $<TARGET_FILE_DIR:${target}>)
    endforeach()
    foreach(plugin ${PELION_WINDOWS_QT_PLUGINS})
        get_filename_component(folder ${plugin} DIRECTORY)
        list(APPEND commands
             COMMAND ${CMAKE_COMMAND} -E make_directory $<TARGET_FILE_DIR:${target}>/${folder}
             COMMAND ${CMAKE_COMMAND} -E copy_if_different ${qt}/plugins/${plugin}.dll
                     $<TARGET_FILE_DIR:${target}>/${folder})
    endforeach()
    foreach(dll ${PELION_WINDOWS_MINGW_DLLS})
        pelion_find_mingw_dll(${dll} path)
        list(APPEND commands COMMAND ${CMAKE_COMMAND} -E copy_if_different ${path}
             $<TARGET_FILE_DIR:${target}>)
    endforeach()
    add_custom_command(TARGET ${target} POST_BUILD ${commands} VERBATIM)
endfunction()
