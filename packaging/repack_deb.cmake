# Run by CPack after it has written the .deb: packs the same files again with dpkg-deb, so that
# the package is the same byte for byte for the same sources. CPack dates the archive and every
# file in it with the time of packing, and makes the folders under the umask of the build;
# dpkg-deb sorts the files, owns them by root and dates the archive, and every file made after
# it, with SOURCE_DATE_EPOCH: from the environment, else the time of the source tree's last
# commit. The folders become 0755 here; files have their modes from install() already.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
    execute_process(COMMAND git log -1 --format=%ct WORKING_DIRECTORY ${CPACK_PELION_SOURCE_DIR}
                    OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE failed
                    ERROR_QUIET)
    if(failed)
        message(FATAL_ERROR "No git history to date the package by: set SOURCE_DATE_EPOCH")
    endif()
    set(ENV{SOURCE_DATE_EPOCH} ${epoch})
endif()

foreach(deb ${CPACK_PACKAGE_FILES})
    set(tree ${deb}.tree)
    file(REMOVE_RECURSE ${tree})
    execute_process(COMMAND dpkg-deb --raw-extract ${deb} ${tree} COMMAND_ERROR_IS_FATAL ANY)
    execute_process(COMMAND find ${tree} -type d -exec chmod 0755 {} +
                    COMMAND_ERROR_IS_FATAL ANY)
    execute_process(COMMAND dpkg-deb --root-owner-group -Zxz --build ${tree} ${deb}
                    OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
    file(REMOVE_RECURSE ${tree})
endforeach()
