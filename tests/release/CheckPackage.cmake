# Builds the administrator's package from a configured Windows build and
# checks what it holds:
#   cmake -DBUILD_DIR=<build> -DVERSION=<x.y.z> -DOBJDUMP=<objdump> -P CheckPackage.cmake
# OBJDUMP reads the exe's imports; a toolchain without one (MSVC) fails the
# check, since it could not tell what the exe needs.
cmake_minimum_required(VERSION 3.20)
set(output ${BUILD_DIR}/package-check)
file(REMOVE_RECURSE ${output})
execute_process(
  COMMAND ${CMAKE_CPACK_COMMAND} --config ${BUILD_DIR}/CPackConfig.cmake -B ${output}
  RESULT_VARIABLE result OUTPUT_VARIABLE log ERROR_VARIABLE log)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cpack failed:\n${log}")
endif()

set(zip ${output}/Quorvane-${VERSION}-win64.zip)
if(NOT EXISTS ${zip})
  message(FATAL_ERROR "no ${zip}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E tar tf ${zip} OUTPUT_VARIABLE listing
                RESULT_VARIABLE result)
string(STRIP "${listing}" listing)
string(REPLACE "\n" ";" entries "${listing}")
list(SORT entries)
set(top Quorvane-${VERSION}-win64)
set(expected ${top}/LICENSE.txt ${top}/Quorvane.exe ${top}/README.txt)
if(NOT entries STREQUAL expected)
  message(FATAL_ERROR "package holds\n  ${entries}\ninstead of\n  ${expected}")
endif()

# The texts are for Windows: CRLF line ends, and the README names the version.
file(MAKE_DIRECTORY ${output}/unpacked)
execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${zip} WORKING_DIRECTORY ${output}/unpacked)
foreach(text README.txt LICENSE.txt)
  # As hex digits, two to a byte: once every CR LF is taken out, no LF may be
  # left at a byte boundary. The texts are ASCII, so "0d0a" never straddles one.
  file(READ ${output}/unpacked/${top}/${text} content HEX)
  string(REPLACE "0d0a" "" bare "${content}")
  if(bare STREQUAL content OR bare MATCHES "^(..)*0a")
    message(FATAL_ERROR "${text} does not end its lines with CRLF")
  endif()
endforeach()
file(STRINGS ${output}/unpacked/${top}/README.txt first LIMIT_COUNT 1)
if(NOT first MATCHES "^Quorvane ${VERSION} ")
  message(FATAL_ERROR "README.txt does not name version ${VERSION}: ${first}")
endif()

# The exe runs on any Windows machine with nothing beside it: the DLLs it
# imports are all Windows' own, none of a compiler's runtime.
if(NOT OBJDUMP)
  message(FATAL_ERROR "no objdump to read the imports of Quorvane.exe")
endif()
execute_process(COMMAND ${OBJDUMP} -p ${output}/unpacked/${top}/Quorvane.exe
                OUTPUT_VARIABLE headers RESULT_VARIABLE result)
string(REGEX MATCHALL "DLL Name: [^\r\n]+" imports "${headers}")
if(NOT result EQUAL 0 OR NOT imports)
  message(FATAL_ERROR "the imports of Quorvane.exe could not be read")
endif()
set(system_dlls advapi32.dll kernel32.dll msvcrt.dll ucrtbase.dll user32.dll ntdll.dll)
foreach(import ${imports})
  string(REPLACE "DLL Name: " "" dll "${import}")
  string(TOLOWER "${dll}" dll)
  if(NOT dll IN_LIST system_dlls AND NOT dll MATCHES "^api-ms-win-")
    message(FATAL_ERROR "Quorvane.exe imports ${dll}, which is no system DLL")
  endif()
endforeach()
message(STATUS "${zip}: ${entries}; imports ${imports}")
