# Turns one UTF-8 help source into the CP932 file that goes into the help file.
# The sources declare charset=utf-8 so that they read correctly in the repository; the copy
# compiled into the help file declares the CP932 name that the help viewer understands.
# Usage: cmake -DIN=<source> -DOUT=<target> -DICONV=<iconv> -P ToCp932.cmake
cmake_minimum_required(VERSION 3.25)
file(READ "${IN}" text)
string(REPLACE "charset=utf-8" "charset=windows-31j" text "${text}")

# The viewer breaks lines only at blanks, so a long Japanese sentence would run off the right
# edge. A blank after each Japanese comma and full stop gives it places to break. Preformatted
# blocks (program text the learner copies) are left exactly as written.
function(_add_breaks in outvar)
  string(REGEX REPLACE "(、|。)([^ \n<])" "\\1 \\2" in "${in}")
  set(${outvar} "${in}" PARENT_SCOPE)
endfunction()
set(result "")
while(TRUE)
  string(FIND "${text}" "<pre>" open)
  if(open EQUAL -1)
    _add_breaks("${text}" part)
    string(APPEND result "${part}")
    break()
  endif()
  string(SUBSTRING "${text}" 0 ${open} before)
  _add_breaks("${before}" part)
  string(APPEND result "${part}")
  string(SUBSTRING "${text}" ${open} -1 text)
  string(FIND "${text}" "</pre>" close)
  if(close EQUAL -1)
    string(APPEND result "${text}")
    break()
  endif()
  math(EXPR close "${close} + 6")
  string(SUBSTRING "${text}" 0 ${close} block)
  string(APPEND result "${block}")
  string(SUBSTRING "${text}" ${close} -1 text)
endwhile()

file(WRITE "${OUT}.utf8" "${result}")
execute_process(
  COMMAND "${ICONV}" -f UTF-8 -t CP932 "${OUT}.utf8"
  OUTPUT_FILE "${OUT}.tmp"
  ERROR_VARIABLE err
  RESULT_VARIABLE rc)
file(REMOVE "${OUT}.utf8")
if(NOT rc EQUAL 0)
  file(REMOVE "${OUT}.tmp")
  message(FATAL_ERROR "${IN}: a character has no CP932 form: ${err}")
endif()
file(RENAME "${OUT}.tmp" "${OUT}")
