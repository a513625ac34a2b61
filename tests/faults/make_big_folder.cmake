# cmake -DFOLDER=<path> -DCOUNT=<n> -P make_big_folder.cmake
# Makes a folder of COUNT pictures for the fault tests, named skin000000.bmp, Skin000001.BMP,
# skin000002.bmp, ... (the case alternates, so that the lists' order must ignore it). Made on
# the build machine rather than by the test: under Wine each new name costs a scan of the
# whole folder, which makes a large folder take hours. The names are hard links in blocks of
# a thousand (NTFS allows 1024 links to a file), copies where links cannot be made. Made once
# per build folder: "<FOLDER>.made" records that it is complete.
if(NOT FOLDER OR NOT COUNT)
  message(FATAL_ERROR "usage: cmake -DFOLDER=<path> -DCOUNT=<n> -P make_big_folder.cmake")
endif()
if(EXISTS "${FOLDER}.made")
  file(READ "${FOLDER}.made" made)
  if(made STREQUAL "${COUNT}")
    return()
  endif()
endif()

string(TIMESTAMP started "%s")
file(REMOVE_RECURSE "${FOLDER}")
file(REMOVE "${FOLDER}.made")
file(MAKE_DIRECTORY "${FOLDER}")
math(EXPR last "${COUNT} - 1")
foreach(i RANGE 0 ${last})
  string(LENGTH "${i}" digits)
  math(EXPR pad "6 - ${digits}")
  string(REPEAT "0" ${pad} zeros)
  math(EXPR odd "${i} % 2")
  if(odd)
    set(name "Skin${zeros}${i}.BMP")
  else()
    set(name "skin${zeros}${i}.bmp")
  endif()
  math(EXPR inBlock "${i} % 1000")
  if(inBlock EQUAL 0)
    set(first "${FOLDER}/${name}")
    file(WRITE "${first}" "BM picture ${i}\n")
  else()
    file(CREATE_LINK "${first}" "${FOLDER}/${name}" COPY_ON_ERROR)
  endif()
endforeach()
file(WRITE "${FOLDER}.made" "${COUNT}")
string(TIMESTAMP finished "%s")
math(EXPR took "${finished} - ${started}")
message(STATUS "made ${COUNT} files in ${FOLDER} in ${took} s")
