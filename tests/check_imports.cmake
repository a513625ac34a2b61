# cmake -DPROGRAMS=<a.exe;b.exe> -P check_imports.cmake
# Reads each program's PE headers and import table itself, so that the same check serves the
# mingw-w64 and the MSVC builds on any host, and fails when a program
# - imports a DLL that Windows does not bring along: such a program would not start on a
#   machine without that DLL (a forgotten -static, say, pulling in libstdc++-6.dll or
#   libwinpthread-1.dll, or MSVC's /MD pulling in VCRUNTIME140.dll);
# - is not marked as a program of Windows 6 or later and Terminal Server aware, as both builds
#   make it: Windows would treat it as a program of XP's days (its frames, a per-user Windows
#   folder).
cmake_minimum_required(VERSION 3.20)

# Windows' known DLLs, which it always loads from the system folder, and comctl32, which the
# manifest takes from the system's side-by-side store. Any other DLL named in the import table
# (uxtheme.dll, version.dll...) would first be looked for beside the program: a file of that
# name in the game folder would run.
set(allowed KERNEL32 USER32 GDI32 COMCTL32 COMDLG32 SHELL32 SHLWAPI ADVAPI32 OLE32 OLEAUT32 MSVCRT)

if(NOT PROGRAMS)
  message(FATAL_ERROR "usage: cmake -DPROGRAMS=<a.exe;b.exe> -P check_imports.cmake")
endif()

# number(OUT OFFSET SIZE): the little-endian number of SIZE bytes at OFFSET (an expression)
# in the caller's program.
function(number out offset size)
  math(EXPR offset "${offset}")
  file(READ "${program}" hex OFFSET ${offset} LIMIT ${size} HEX)
  string(LENGTH "${hex}" length)
  math(EXPR expected "${size} * 2")
  if(NOT length EQUAL expected)
    message(FATAL_ERROR "${program}: ends before byte ${offset} + ${size}: not a whole PE file")
  endif()
  set(value 0)
  math(EXPR at "${length} - 2")
  while(at GREATER_EQUAL 0)
    string(SUBSTRING "${hex}" ${at} 2 byte)
    math(EXPR value "(${value} << 8) + 0x${byte}")
    math(EXPR at "${at} - 2")
  endwhile()
  set(${out} ${value} PARENT_SCOPE)
endfunction()

# text(OUT OFFSET): the ASCII string that ends with a zero byte at OFFSET in the caller's program.
function(text out offset)
  file(READ "${program}" hex OFFSET ${offset} LIMIT 256 HEX)
  set(value "")
  string(LENGTH "${hex}" length)
  set(at 0)
  while(at LESS length)
    string(SUBSTRING "${hex}" ${at} 2 byte)
    if(byte STREQUAL "00")
      break()
    endif()
    math(EXPR code "0x${byte}")
    string(ASCII ${code} char)
    string(APPEND value "${char}")
    math(EXPR at "${at} + 2")
  endwhile()
  set(${out} "${value}" PARENT_SCOPE)
endfunction()

# file_offset(OUT RVA): where in the file the image's address RVA lies, from the caller's
# section_list ("address:size:file offset" per section).
function(file_offset out rva)
  foreach(section IN LISTS section_list)
    string(REPLACE ":" ";" parts "${section}")
    list(GET parts 0 start)
    list(GET parts 1 size)
    list(GET parts 2 raw)
    math(EXPR end "${start} + ${size}")
    if(rva GREATER_EQUAL start AND rva LESS end)
      math(EXPR offset "${rva} - ${start} + ${raw}")
      set(${out} ${offset} PARENT_SCOPE)
      return()
    endif()
  endforeach()
  message(FATAL_ERROR "${program}: address ${rva} lies in no section")
endfunction()

set(failures "")
foreach(program IN LISTS PROGRAMS)
  if(NOT EXISTS "${program}")
    message(FATAL_ERROR "${program} does not exist: build it first")
  endif()
  # The DOS header's "MZ", then at e_lfanew "PE\0\0", the file header and the optional header.
  number(mz 0 2)
  number(pe_at 60 4)
  number(signature ${pe_at} 4)
  if(NOT mz EQUAL 0x5A4D OR NOT signature EQUAL 0x4550)
    message(FATAL_ERROR "${program} is not a PE file")
  endif()
  math(EXPR file_header "${pe_at} + 4")
  number(section_count "${file_header} + 2" 2)
  number(optional_size "${file_header} + 16" 2)
  math(EXPR optional "${file_header} + 20")
  number(magic ${optional} 2)
  if(magic EQUAL 0x20B)  # PE32+
    math(EXPR directories "${optional} + 112")
  elseif(magic EQUAL 0x10B)  # PE32
    math(EXPR directories "${optional} + 96")
  else()
    message(FATAL_ERROR "${program}: unknown optional header ${magic}")
  endif()
  number(subsystem_major "${optional} + 48" 2)
  number(subsystem_minor "${optional} + 50" 2)
  number(dll_characteristics "${optional} + 70" 2)
  if(subsystem_major LESS 6)
    list(APPEND failures "${program} is marked for Windows ${subsystem_major}.${subsystem_minor}, not 6 or later")
  endif()
  math(EXPR terminal_server_aware "${dll_characteristics} & 0x8000")
  if(terminal_server_aware EQUAL 0)
    list(APPEND failures "${program} is not marked Terminal Server aware")
  endif()

  # The sections, to find where in the file an address of the loaded image lies.
  math(EXPR sections "${optional} + ${optional_size}")
  set(section_list "")
  foreach(index RANGE 1 ${section_count})
    math(EXPR entry "${sections} + (${index} - 1) * 40")
    number(virtual_size "${entry} + 8" 4)
    number(virtual_address "${entry} + 12" 4)
    number(raw_size "${entry} + 16" 4)
    number(raw_offset "${entry} + 20" 4)
    if(raw_size GREATER virtual_size)
      set(virtual_size ${raw_size})
    endif()
    list(APPEND section_list "${virtual_address}:${virtual_size}:${raw_offset}")
  endforeach()

  # The import directory (data directory 1): one 20-byte descriptor per DLL, the name's
  # address at 12, until a descriptor of zeros.
  number(imports_rva "${directories} + 8" 4)
  if(imports_rva EQUAL 0)
    message(FATAL_ERROR "${program} imports no DLL at all; cannot check")
  endif()
  file_offset(descriptor ${imports_rva})
  set(names "")
  while(TRUE)
    number(name_rva "${descriptor} + 12" 4)
    if(name_rva EQUAL 0)
      break()
    endif()
    file_offset(name_at ${name_rva})
    text(dll ${name_at})
    list(APPEND names "${dll}")
    string(TOUPPER "${dll}" key)
    string(REGEX REPLACE "\\.DLL$" "" key "${key}")
    if(NOT key IN_LIST allowed)
      list(APPEND failures "${program} imports ${dll}")
    endif()
    math(EXPR descriptor "${descriptor} + 20")
  endwhile()
  list(JOIN names ", " shown)
  message(STATUS "${program}: Windows ${subsystem_major}.${subsystem_minor}, imports ${shown}")
endforeach()

if(failures)
  list(JOIN failures "\n  " shown)
  message(FATAL_ERROR "A program needs a DLL that Windows does not bring along, or is marked as a legacy program:\n  ${shown}")
endif()
