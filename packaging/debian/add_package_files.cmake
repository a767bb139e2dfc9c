# Run by CPack on the staged package tree, before it builds the package: Debian wants the manual
# page gzipped, and a changelog and a copyright file in the package's documentation folder. A
# plain `cmake --install` leaves the manual page as it is and installs neither of the others.
# gzip -9n: the best compression, and no file name or time stamp, so that every build of one
# release gives the same bytes.
set(staged "${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}")
set(doc_dir "${staged}/${CPACK_SCANTELK_DOC_DIR}")

function(gzip_in_place path)
  execute_process(COMMAND gzip -9nf "${path}" COMMAND_ERROR_IS_FATAL ANY)
endfunction()

gzip_in_place("${staged}/${CPACK_SCANTELK_MAN_PAGE}")

file(COPY "${CPACK_SCANTELK_PACKAGING_DIR}/changelog" "${CPACK_SCANTELK_PACKAGING_DIR}/copyright"
     DESTINATION "${doc_dir}" FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
gzip_in_place("${doc_dir}/changelog")

# Like dpkg-buildpackage: unless the caller chose a time, every file of the package bears the
# date of the release's changelog entry rather than the time of the build.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  execute_process(COMMAND dpkg-parsechangelog -l "${CPACK_SCANTELK_PACKAGING_DIR}/changelog"
                          -S Timestamp
                  OUTPUT_VARIABLE release_time OUTPUT_STRIP_TRAILING_WHITESPACE
                  COMMAND_ERROR_IS_FATAL ANY)
  set(ENV{SOURCE_DATE_EPOCH} "${release_time}")
endif()
