cmake_minimum_required(VERSION 3.25)
# Turns a text file into a C++ source defining one NUL-terminated string, so
# a data table has one source of truth in res/ and needs no file at run time.
#   cmake -DIN=table.txt -DOUT=file.cpp -DNAME=kSymbol -DNAMESPACE=ns -P embed_file.cmake
file(READ "${IN}" hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
file(WRITE "${OUT}" "// Generated from ${IN}; do not edit.\nnamespace ${NAMESPACE} {\nextern const char ${NAME}[];\nconst char ${NAME}[] = {${bytes}'\\0'};\n}  // namespace ${NAMESPACE}\n")
