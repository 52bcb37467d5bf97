# ctest script: the DLL exports exactly VSTPluginMain and main (or the sorted, comma-separated
# EXPORTS: the VST 3 module exports ExitDll,GetPluginFactory,InitDll), and imports from Windows system
# DLLs only (no C++ runtime, no thread library; msimg32 is loaded at run time, not imported).
# It also holds no aligned 32- or 64-byte vector move on the stack: Windows aligns the stack to
# 16 bytes only and this compiler does not realign it for the AVX2 and AVX-512 engine kernels, so
# such a spill would fault on every processor that takes those paths.
#   cmake -DOBJDUMP=<mingw objdump> -DDLL=<Kalvo.dll> [-DEXPORTS=<a,b>] -P CheckDllInterface.cmake
cmake_minimum_required(VERSION 3.18)
execute_process(COMMAND ${OBJDUMP} -p ${DLL} OUTPUT_VARIABLE dump RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "${OBJDUMP} -p ${DLL} failed")
endif()

string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table\n(\t\\[[^\n]*\n)*" exportTable "${dump}")
string(REGEX MATCHALL "\\[ *[0-9]+\\] [^\n]+" exportLines "${exportTable}")
set(exports "")
foreach(line IN LISTS exportLines)
  string(REGEX REPLACE "^\\[ *[0-9]+\\] " "" name "${line}")
  list(APPEND exports "${name}")
endforeach()
list(SORT exports)
if(NOT EXPORTS)
  set(EXPORTS "VSTPluginMain,main")
endif()
string(REPLACE "," ";" EXPORTS "${EXPORTS}")
if(NOT exports STREQUAL EXPORTS)
  message(FATAL_ERROR "exports are '${exports}', expected exactly '${EXPORTS}'")
endif()

set(systemDlls advapi32.dll comctl32.dll comdlg32.dll gdi32.dll kernel32.dll msvcrt.dll ole32.dll
  oleaut32.dll shell32.dll user32.dll)
string(REGEX MATCHALL "DLL Name: [^\n]+" importLines "${dump}")
set(imports "")
foreach(line IN LISTS importLines)
  string(REGEX REPLACE "^DLL Name: " "" name "${line}")
  string(TOLOWER "${name}" name)
  list(APPEND imports "${name}")
  if(NOT name IN_LIST systemDlls)
    message(FATAL_ERROR "imports ${name}, which is not a Windows system DLL (imports: ${imports})")
  endif()
endforeach()
if(NOT "kernel32.dll" IN_LIST imports)
  message(FATAL_ERROR "no imports found in the dump of ${DLL}")
endif()

execute_process(COMMAND ${OBJDUMP} -d --no-show-raw-insn ${DLL} OUTPUT_VARIABLE code RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "${OBJDUMP} -d ${DLL} failed")
endif()
string(REGEX MATCH "vmov(aps|apd|dqa|dqa32|dqa64)[ \t]+[^\n]*%[yz]mm[^\n]*\\(%r[sb]p\\)[^\n]*|vmov(aps|apd|dqa|dqa32|dqa64)[ \t]+[^\n]*\\(%r[sb]p\\)[^\n]*%[yz]mm[^\n]*" spill "${code}")
if(spill)
  message(FATAL_ERROR "aligned wide vector move on the stack: '${spill}'")
endif()
message(STATUS "exports: ${exports}; imports: ${imports}")
