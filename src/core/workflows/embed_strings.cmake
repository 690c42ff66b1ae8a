cmake_minimum_required(VERSION 3.25)
# Turns the string-table text files into a C++ source, so the texts have one
# source of truth (res/strings.*.txt) and need no files at run time.
#   cmake -DOUT=file.cpp -DENGLISH=strings.en.txt -DCHINESE=strings.zh_CN.txt -P embed_strings.cmake
# Format of an input file: one entry a line, decimal id, one tab, the text in
# UTF-8; '#' lines and empty lines are skipped. The text is emitted byte by
# byte as hex escapes, so any character (quotes, brackets, semicolons) is safe.

function(hex_to_decimal hex out)
  math(EXPR value "0x${hex}")
  set(${out} ${value} PARENT_SCOPE)
endfunction()

# Parses FILE into "id|hexbytes" items in RESULT. Reading the file as hex
# keeps CMake's list syntax (';', '[', ']') away from the texts.
function(parse_table file result)
  file(READ "${file}" hex HEX)
  string(LENGTH "${hex}" length)
  set(entries "")
  set(line "")
  set(pos 0)
  while(pos LESS length)
    string(SUBSTRING "${hex}" ${pos} 2 byte)
    math(EXPR pos "${pos} + 2")
    if(byte STREQUAL "0a")
      list(APPEND lines_hex "${line}")
      set(line "")
    elseif(NOT byte STREQUAL "0d")
      string(APPEND line "${byte}")
    endif()
  endwhile()
  if(NOT line STREQUAL "")
    list(APPEND lines_hex "${line}")
  endif()

  set(seen "")
  foreach(line IN LISTS lines_hex)
    if(line STREQUAL "" OR line MATCHES "^23")  # empty, or '#'
      continue()
    endif()
    # Id: ASCII digits (hex 30-39) up to the first tab (hex 09).
    if(NOT line MATCHES "^((3[0-9])+)09(.*)$")
      message(FATAL_ERROR "${file}: a line without 'id<TAB>text': ${line}")
    endif()
    set(id_hex "${CMAKE_MATCH_1}")
    set(text_hex "${CMAKE_MATCH_3}")
    string(REGEX REPLACE "3([0-9])" "\\1" id "${id_hex}")
    math(EXPR id "${id}")
    if(id IN_LIST seen)
      message(FATAL_ERROR "${file}: id ${id} appears twice")
    endif()
    list(APPEND seen ${id})
    list(APPEND entries "${id}|${text_hex}")
  endforeach()
  set(${result} "${entries}" PARENT_SCOPE)
  set(${result}_ids "${seen}" PARENT_SCOPE)
endfunction()

function(emit_table name entries out)
  set(code "const StringTableEntry ${name}[] = {\n")
  foreach(entry IN LISTS entries)
    string(REPLACE "|" ";" parts "${entry}")
    list(GET parts 0 id)
    list(LENGTH parts n)
    set(text_hex "")
    if(n GREATER 1)
      list(GET parts 1 text_hex)
    endif()
    string(LENGTH "${text_hex}" hex_length)
    math(EXPR byte_count "${hex_length} / 2")
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "\\\\x\\1" escaped "${text_hex}")
    string(APPEND code "    {${id}, std::string_view(\"${escaped}\", ${byte_count})},\n")
  endforeach()
  string(APPEND code "};\n")
  set(${out} "${code}" PARENT_SCOPE)
endfunction()

parse_table("${ENGLISH}" english)
parse_table("${CHINESE}" chinese)
list(SORT english_ids COMPARE NATURAL)
list(SORT chinese_ids COMPARE NATURAL)
if(NOT english_ids STREQUAL chinese_ids)
  message(FATAL_ERROR "The string tables disagree on their ids:\n  English: ${english_ids}\n  Chinese: ${chinese_ids}")
endif()

emit_table(kEnglishTable "${english}" english_code)
emit_table(kChineseTable "${chinese}" chinese_code)

set(content "// Generated from res/strings.*.txt by embed_strings.cmake; do not edit.
#include \"core/workflows/string_table_data.h\"

namespace emberline::workflows::detail {
namespace {
${english_code}
${chinese_code}
}  // namespace

std::span<const StringTableEntry> englishTable() { return kEnglishTable; }
std::span<const StringTableEntry> chineseTable() { return kChineseTable; }

}  // namespace emberline::workflows::detail
")

# Rewrite only on change, so an unchanged table does not rebuild the library.
if(EXISTS "${OUT}")
  file(READ "${OUT}" previous)
  if(previous STREQUAL content)
    return()
  endif()
endif()
file(WRITE "${OUT}" "${content}")
