# cmake -DZPKHOST=<zpkhost> [-DEMULATOR=<runner>] -DMODULE=<module> -DPRICES=<csv> -DEXPECTED=<csv>
#       -P run_and_compare.cmake
#
# Runs Momentum(Data = close, Periods = 3) on the prices with zpkhost and fails unless every bar
# of its output equals the expected file's (a bar outside the reported range has no value).
execute_process(
  COMMAND ${EMULATOR} "${ZPKHOST}" run "${MODULE}" Momentum Data=close Periods=3 --prices "${PRICES}"
  OUTPUT_VARIABLE output ERROR_VARIABLE errors RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "zpkhost run failed (${rc}): ${errors}")
endif()
string(REPLACE "\r" "" output "${output}")
file(STRINGS "${EXPECTED}" expected)
string(REPLACE "\n" ";" actual "${output}")
list(FILTER actual EXCLUDE REGEX "^$")
if(NOT actual STREQUAL expected)
  string(REPLACE ";" "\n  " expected_shown "${expected}")
  string(REPLACE ";" "\n  " actual_shown "${actual}")
  message(FATAL_ERROR "Momentum output differs\nexpected:\n  ${expected_shown}\nzpkhost printed:\n  ${actual_shown}")
endif()
message(STATUS "Momentum output as expected")
