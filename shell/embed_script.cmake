# Writes OUTPUT, a C++ header that defines the character array NAME holding
# the script INPUT as the engine evaluates it: its leading comment lines
# (the file's description and type-checking mark) become one empty line, so
# the code starts on line 2 of the evaluated text.
#   cmake -DINPUT=show_value.js -DOUTPUT=show_value.h -DNAME=kShowValueSource -P embed_script.cmake
file(READ "${INPUT}" text)
string(REGEX REPLACE "^(//[^\n]*\n)+" "\n" text "${text}")
string(FIND "${text}" ")js\"" closing)
if(NOT closing EQUAL -1)
    message(FATAL_ERROR "${INPUT} holds )js\", which would end the embedded text early")
endif()
get_filename_component(source "${INPUT}" NAME)
file(WRITE "${OUTPUT}.new" "// Made by the build from ${source}: edit that file instead.\n"
                          "const char ${NAME}[] = R\"js(${text})js\";\n")
# Rewritten only when it changes, so that what includes it is not rebuilt.
configure_file("${OUTPUT}.new" "${OUTPUT}" COPYONLY)
file(REMOVE "${OUTPUT}.new")
