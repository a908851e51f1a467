# Read by cpack before it packs: the package's file times come from the
# commit it is built from, so that two builds of one commit give the same
# bytes wherever and whenever they run. CPack stamps every file, and the
# archive members, with SOURCE_DATE_EPOCH when it is set; one set by the
# caller wins.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  include(${CPACK_QUELM_SOURCE_DIR}/packaging/sourcedate.cmake)
  quelm_source_date_epoch(${CPACK_QUELM_SOURCE_DIR} epoch)
  if(epoch)
    set(ENV{SOURCE_DATE_EPOCH} ${epoch})
  else()
    message(WARNING "No commit time (no git checkout, no packaging/source-date-epoch): "
                    "the package's file times are today's and it will not be reproducible")
  endif()
endif()
