# Run by CPack on the staged tree of the Debian package, before it is packed:
# Debian keeps manual pages gzip-compressed, without name or time stamp
# (gzip -9n), so that the same page always packs to the same bytes.
file(GLOB_RECURSE pages LIST_DIRECTORIES false "${CPACK_TEMPORARY_DIRECTORY}/*/share/man/man*/*.[1-9]")
if(NOT pages)
    message(FATAL_ERROR "No manual page staged under ${CPACK_TEMPORARY_DIRECTORY}")
endif()
foreach(page IN LISTS pages)
    execute_process(COMMAND gzip -9nf ${page} RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "gzip could not compress ${page}")
    endif()
endforeach()
