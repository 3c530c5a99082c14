# Makes the locales the text-encoding rows run under, in DIR, for LOCPATH:
#   cmake -DDIR=<folder> -P MakeLocales.cmake
# Never fails: a locale it cannot make is named here, and its rows skip.
set(locales "zh_CN GB18030" "zh_CN GBK" "en_US ISO-8859-1")
find_program(LOCALEDEF localedef)
if(NOT LOCALEDEF)
  message(STATUS "localedef is missing (Debian package locales): the GB18030, GBK and Latin-1 rows will skip")
  return()
endif()
file(MAKE_DIRECTORY ${DIR})
foreach(row IN LISTS locales)
  separate_arguments(row)
  list(GET row 0 source)
  list(GET row 1 charmap)
  set(name ${source}.${charmap})
  if(EXISTS ${DIR}/${name}/LC_CTYPE)
    continue()
  endif()
  # localedef warns (and may exit non-zero) over details of the data; what
  # counts is whether the locale was written.
  execute_process(COMMAND ${LOCALEDEF} -i ${source} -f ${charmap} ${DIR}/${name}
      RESULT_VARIABLE result OUTPUT_QUIET ERROR_VARIABLE errors)
  if(EXISTS ${DIR}/${name}/LC_CTYPE)
    message(STATUS "made ${name}")
  else()
    message(STATUS "could not make ${name} (charmap or locale source missing?): its rows will skip\n${errors}")
  endif()
endforeach()
