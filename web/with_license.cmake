# Writes OUTPUT: the script INPUT with the text of its licence LICENSE before it, as a comment, so
# that the page carries the notice of the library it bundles:
#   cmake -DINPUT=index.js -DLICENSE=LICENSE -DOUTPUT=out.js -P with_license.cmake
file(READ ${LICENSE} license)
file(READ ${INPUT} script)
string(REPLACE "*/" "* /" license "${license}")
file(WRITE ${OUTPUT} "/*!\n${license}*/\n${script}")
