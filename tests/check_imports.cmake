# cmake -DOBJDUMP=<mingw objdump> -DPROGRAMS=<a.exe;b.exe> -P check_imports.cmake
# Fails when a program imports a DLL that Windows does not bring along: such a program would
# not start on a machine without that DLL (a forgotten -static, say, pulling in
# libstdc++-6.dll or libwinpthread-1.dll).
cmake_minimum_required(VERSION 3.20)

# Windows' known DLLs, which it always loads from the system folder, and comctl32, which the
# manifest takes from the system's side-by-side store. Any other DLL named in the import table
# (uxtheme.dll, version.dll...) would first be looked for beside the program: a file of that
# name in the game folder would run.
set(allowed KERNEL32 USER32 GDI32 COMCTL32 COMDLG32 SHELL32 SHLWAPI ADVAPI32 OLE32 OLEAUT32 MSVCRT)

if(NOT OBJDUMP OR NOT PROGRAMS)
  message(FATAL_ERROR "usage: cmake -DOBJDUMP=... -DPROGRAMS=... -P check_imports.cmake")
endif()

set(failures "")
foreach(program IN LISTS PROGRAMS)
  if(NOT EXISTS "${program}")
    message(FATAL_ERROR "${program} does not exist: build it first")
  endif()
  execute_process(COMMAND "${OBJDUMP}" -p "${program}"
                  OUTPUT_VARIABLE dump ERROR_VARIABLE errors RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} -p ${program} failed (${result}): ${errors}")
  endif()
  string(REGEX MATCHALL "DLL Name: [^\r\n]+" lines "${dump}")
  if(NOT lines)
    message(FATAL_ERROR "${program}: objdump shows no imported DLL at all; cannot check")
  endif()
  set(names "")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^DLL Name: *" "" dll "${line}")
    string(STRIP "${dll}" dll)
    list(APPEND names "${dll}")
    string(TOUPPER "${dll}" key)
    string(REGEX REPLACE "\\.DLL$" "" key "${key}")
    if(NOT key IN_LIST allowed)
      list(APPEND failures "${program} imports ${dll}")
    endif()
  endforeach()
  list(JOIN names ", " shown)
  message(STATUS "${program}: ${shown}")
endforeach()

if(failures)
  list(JOIN failures "\n  " shown)
  message(FATAL_ERROR "DLLs that Windows does not provide:\n  ${shown}")
endif()
