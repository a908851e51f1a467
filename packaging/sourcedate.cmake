# quelm_source_date_epoch(SOURCE_DIR OUT): the time of the commit the source
# is (seconds since 1970), for reproducible packages: from git in a
# checkout, otherwise from packaging/source-date-epoch, which the source
# release carries (tools/make-release.sh). OUT is empty when neither is
# there.
function(quelm_source_date_epoch source_dir out)
  set(epoch "")
  find_program(QUELM_GIT git)
  if(QUELM_GIT AND EXISTS ${source_dir}/.git)
    execute_process(COMMAND ${QUELM_GIT} -C ${source_dir} log -1 --format=%ct
                    OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE failed)
    if(failed)
      set(epoch "")
    endif()
  endif()
  if(NOT epoch AND EXISTS ${source_dir}/packaging/source-date-epoch)
    file(STRINGS ${source_dir}/packaging/source-date-epoch epoch LIMIT_COUNT 1 REGEX "^[0-9]+$")
  endif()
  if(NOT epoch MATCHES "^[0-9]+$")
    set(epoch "")
  endif()
  set(${out} "${epoch}" PARENT_SCOPE)
endfunction()
