# cmake -DPROGRAM=<Quorvane.exe> -DFOLDER=<folder> -DZIP=<name.zip> -DSOURCE=<source folder> -P release.cmake
# Zips the program with README.txt and LICENSE.txt, which the configure step wrote into FOLDER,
# as FOLDER/ZIP, and writes FOLDER/SHA256SUMS for the zip and the program. Nothing of the
# machine or the moment goes into the zip: every file is dated SOURCE_DATE_EPOCH (the commit's
# time when it is not set) read in UTC, has the same permissions, carries no extra fields
# (owners, Unix times), and the files go in sorted order.
cmake_minimum_required(VERSION 3.20)

set(epoch "$ENV{SOURCE_DATE_EPOCH}")
if(epoch STREQUAL "")
  execute_process(COMMAND git -C "${SOURCE}" log -1 --format=%ct
                  OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
endif()
if(NOT epoch MATCHES "^[0-9]+$")
  message(FATAL_ERROR "release: no SOURCE_DATE_EPOCH and no commit time from ${SOURCE}; use 'make dist'")
endif()
# A zip keeps the times of DOS, which begin in 1980.
if(epoch LESS 315532800)
  set(epoch 315532800)
endif()

file(COPY "${PROGRAM}" DESTINATION "${FOLDER}")
set(files LICENSE.txt Quorvane.exe README.txt)
foreach(name IN LISTS files)
  if(NOT EXISTS "${FOLDER}/${name}")
    message(FATAL_ERROR "release: ${FOLDER}/${name} is missing")
  endif()
  file(CHMOD "${FOLDER}/${name}" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
endforeach()
execute_process(COMMAND touch -d "@${epoch}" ${files} WORKING_DIRECTORY "${FOLDER}" COMMAND_ERROR_IS_FATAL ANY)
file(REMOVE "${FOLDER}/${ZIP}")
execute_process(COMMAND "${CMAKE_COMMAND}" -E env TZ=UTC zip -X -q "${ZIP}" ${files}
                WORKING_DIRECTORY "${FOLDER}" COMMAND_ERROR_IS_FATAL ANY)

file(SHA256 "${FOLDER}/${ZIP}" zip_sum)
file(SHA256 "${FOLDER}/Quorvane.exe" program_sum)
file(WRITE "${FOLDER}/SHA256SUMS" "${zip_sum}  ${ZIP}\n${program_sum}  Quorvane.exe\n")
message(STATUS "release: ${FOLDER}/${ZIP}")
