# Writes OUTPUT: the page INPUT with each placeholder @LICENCE_NAME@ replaced by the text of the
# file given as NAME, escaped for HTML, so that the page (and the one-file page made from it)
# shows the licences of everything built into it without fetching anything:
#   cmake -DINPUT=index.html -DOUTPUT=out.html -DGPL_2=COPYING -DCOPYRIGHT=... -DZLIB=... \
#         -DLIBDEFLATE=... -DGIFLIB=... -DFFLATE=... -P with_licences.cmake
file(READ ${INPUT} page)
foreach(name GPL_2 COPYRIGHT ZLIB LIBDEFLATE GIFLIB FFLATE)
  set(placeholder "@LICENCE_${name}@")
  string(FIND "${page}" "${placeholder}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${INPUT} has no ${placeholder}")
  endif()
  file(READ ${${name}} text)
  string(REPLACE "&" "&amp;" text "${text}")
  string(REPLACE "<" "&lt;" text "${text}")
  string(REPLACE ">" "&gt;" text "${text}")
  string(REPLACE "${placeholder}" "${text}" page "${page}")
endforeach()
file(WRITE ${OUTPUT} "${page}")
