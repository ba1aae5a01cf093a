# Checks what scripts/package.sh made, and unpacks the zip for the checks
# that run its exe:
#   cmake -DPACKAGE=<dir> -DUNPACKED=<dir> -DTOP=Quorvane-<version>-win64
#         -DBUILT=<the build's exe> -DSOURCE=<checkout> -DVERSION=<x.y.z>
#         -DOBJDUMP=<objdump> -P CheckPackage.cmake
# OBJDUMP reads the exe's imports; a toolchain without one fails the check,
# since it could not tell what the exe needs.
cmake_minimum_required(VERSION 3.25)
function(fail)
  string(JOIN "" text ${ARGN})
  message(FATAL_ERROR "${text}")
endfunction()

file(GLOB made RELATIVE ${PACKAGE} ${PACKAGE}/*)
list(SORT made)
set(expected BUILDINFO ${TOP}.zip Quorvane-${VERSION}.cdx.json SHA256SUMS)
if(NOT made STREQUAL expected)
  fail("the package holds\n  ${made}\ninstead of\n  ${expected}")
endif()
set(zip ${PACKAGE}/${TOP}.zip)
execute_process(COMMAND ${CMAKE_COMMAND} -E tar tf ${zip} OUTPUT_VARIABLE listing)
string(STRIP "${listing}" listing)
string(REPLACE "\n" ";" entries "${listing}")
set(expected ${TOP}/LICENSE.txt ${TOP}/Quorvane.exe ${TOP}/README.txt)
if(NOT entries STREQUAL expected)
  fail("the zip holds, in this order,\n  ${entries}\ninstead of\n  ${expected}")
endif()
file(REMOVE_RECURSE ${UNPACKED})
file(MAKE_DIRECTORY ${UNPACKED})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${zip} WORKING_DIRECTORY ${UNPACKED})
set(exe ${UNPACKED}/${TOP}/Quorvane.exe)

# The exe shipped is the exe the Windows suites ran.
file(SHA256 ${exe} exe_sha)
file(SHA256 ${BUILT} built_sha)
if(NOT exe_sha STREQUAL built_sha)
  fail("the zip's Quorvane.exe is not the build's ${BUILT}")
endif()

# The texts are for Windows: CRLF line ends, and the README names the version.
foreach(text README.txt LICENSE.txt)
  # As hex digits, two to a byte: once every CR LF is taken out, no LF may be
  # left at a byte boundary. The texts are ASCII, so "0d0a" never straddles one.
  file(READ ${UNPACKED}/${TOP}/${text} content HEX)
  string(REPLACE "0d0a" "" bare "${content}")
  if(bare STREQUAL content OR bare MATCHES "^(..)*0a")
    fail("${text} does not end its lines with CRLF")
  endif()
endforeach()
file(STRINGS ${UNPACKED}/${TOP}/README.txt first LIMIT_COUNT 1)
if(NOT first MATCHES "^Quorvane ${VERSION} ")
  fail("README.txt does not name version ${VERSION}: ${first}")
endif()

# The exe runs on any Windows machine with nothing beside it: the DLLs it
# imports are all Windows' own, none of a compiler's runtime.
if(NOT OBJDUMP)
  fail("no objdump to read the imports of Quorvane.exe")
endif()
execute_process(COMMAND ${OBJDUMP} -p ${exe} OUTPUT_VARIABLE headers RESULT_VARIABLE result)
string(REGEX MATCHALL "DLL Name: [^\r\n]+" imports "${headers}")
if(NOT result EQUAL 0 OR NOT imports)
  fail("the imports of Quorvane.exe could not be read")
endif()
set(system_dlls advapi32.dll kernel32.dll msvcrt.dll ucrtbase.dll user32.dll ntdll.dll)
foreach(import ${imports})
  string(REPLACE "DLL Name: " "" dll "${import}")
  string(TOLOWER "${dll}" dll)
  if(NOT dll IN_LIST system_dlls AND NOT dll MATCHES "^api-ms-win-")
    fail("Quorvane.exe imports ${dll}, which is no system DLL")
  endif()
endforeach()

# SHA256SUMS: the zip's and the exe's, as sha256sum -c reads them beside the
# zip unpacked.
file(SHA256 ${zip} zip_sha)
file(READ ${PACKAGE}/SHA256SUMS sums)
if(NOT sums STREQUAL "${zip_sha}  ${TOP}.zip\n${exe_sha}  ${TOP}/Quorvane.exe\n")
  fail("SHA256SUMS does not give the zip's ${zip_sha} and the exe's ${exe_sha}:\n${sums}")
endif()

# BUILDINFO: the commit, SOURCE_DATE_EPOCH, the commands that built the exe
# with the flags that make it reproducible, the toolchain's versions; and no
# path of this checkout, which another rebuild could not give.
file(READ ${PACKAGE}/BUILDINFO info)
foreach(line "\ncommit: [0-9a-f]+\n" "\nSOURCE_DATE_EPOCH: [0-9]+\n" "\nsigned: no\n"
        " -fmacro-prefix-map=" " -Wl,--no-insert-timestamp " " -s "
        "\n  g[+][+]-mingw-w64-x86-64-posix\t[0-9]" "\n  mingw-w64-x86-64-dev\t[0-9]"
        "\n  binutils-mingw-w64-x86-64\t[0-9]" "\n  zip\t[0-9]")
  if(NOT info MATCHES "${line}")
    fail("BUILDINFO lacks ${line}:\n${info}")
  endif()
endforeach()
string(FIND "${info}" "${SOURCE}" at)
if(NOT at EQUAL -1)
  fail("BUILDINFO names this checkout, ${SOURCE}")
endif()

# The SBOM: CycloneDX, for this exe, each linked component with the version
# of the Debian package it names, as this machine has it installed.
file(READ ${PACKAGE}/Quorvane-${VERSION}.cdx.json bom)
string(JSON format GET "${bom}" bomFormat)
string(JSON hash GET "${bom}" metadata component hashes 0 content)
if(NOT format STREQUAL "CycloneDX" OR NOT hash STREQUAL exe_sha)
  fail("the SBOM is not CycloneDX for the exe ${exe_sha}:\n${bom}")
endif()
string(JSON count LENGTH "${bom}" components)
set(names)
math(EXPR last "${count} - 1")
foreach(i RANGE ${last})
  string(JSON name GET "${bom}" components ${i} name)
  string(JSON version GET "${bom}" components ${i} version)
  string(JSON purl GET "${bom}" components ${i} purl)
  string(REGEX REPLACE "^pkg:deb/debian/([^@]+)@.*" "\\1" package "${purl}")
  execute_process(COMMAND dpkg-query -W -f=\${Version} ${package} OUTPUT_VARIABLE installed)
  if(NOT version STREQUAL installed)
    fail("the SBOM gives ${name} version ${version}; ${package} is ${installed}")
  endif()
  list(APPEND names ${name})
endforeach()
set(expected libgcc libstdc++ "mingw-w64 runtime" winpthreads)
if(NOT names STREQUAL expected)
  fail("the SBOM lists ${names} instead of ${expected}")
endif()
message(STATUS "${zip}: ${entries}; imports ${imports}; SBOM ${names}")
