# Copies the resources beside the program. The operator's own files
# (config.ini with the chosen port, Pro.dat with the saved preset) are only
# seeded: a rebuild never overwrites them.
file(GLOB_RECURSE files RELATIVE ${SRC} ${SRC}/*)
foreach(f ${files})
  set(dst ${DST}/${f})
  if(f STREQUAL "config.ini" OR f STREQUAL "Pro.dat")
    if(NOT EXISTS ${dst})
      configure_file(${SRC}/${f} ${dst} COPYONLY)
    endif()
  else()
    configure_file(${SRC}/${f} ${dst} COPYONLY)
  endif()
endforeach()
