# Writes the symbol list the Windows crash helper names our functions by, since dbghelp cannot
# read mingw's debug information: the image base, then the symbol table as nm -C prints it.
#   cmake -DNM=nm -DOBJDUMP=objdump -DPROGRAM=x.exe -DOUTPUT=x.sym -P SymbolList.cmake
execute_process(COMMAND ${OBJDUMP} -p ${PROGRAM} OUTPUT_VARIABLE header RESULT_VARIABLE failed)
if(failed OR NOT header MATCHES "ImageBase[ \t]+([0-9a-fA-F]+)")
  message(FATAL_ERROR "no image base in ${PROGRAM}")
endif()
set(base ${CMAKE_MATCH_1})
execute_process(COMMAND ${NM} -C --defined-only ${PROGRAM} OUTPUT_VARIABLE symbols
                RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "nm cannot read ${PROGRAM}")
endif()
file(WRITE ${OUTPUT} "ImageBase ${base}\n${symbols}")
