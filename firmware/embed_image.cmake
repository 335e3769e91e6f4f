# Turns one firmware file into a C++ unit holding its header and lines as constants.
#
#   cmake -DIMAGE=<file> -DUNIT=<name> -DOUTPUT=<unit.cpp> -P embed_image.cmake
#
# The file is read by the same rules as a firmware file loaded at run time (byte-order mark
# skipped, CR LF read as LF, lines holding "=" after the header dropped), but checked harder:
# an image built into the program must be one a logger can take, so anything odd stops the
# build with the file and line to fix.
cmake_minimum_required(VERSION 3.25)

foreach(arg IMAGE UNIT OUTPUT)
    if(NOT DEFINED ${arg})
        message(FATAL_ERROR "embed_image.cmake: -D${arg}=... is missing")
    endif()
endforeach()

# In the form compilers use, so that the build log shows it on one line and IDEs can jump to it.
function(image_error line what)
    message(NOTICE "${IMAGE}:${line}: error: ${what}")
    message(FATAL_ERROR "firmware image ${IMAGE} is malformed; see the line above")
endfunction()

# Number of the line that holds character `offset` of `text`.
function(line_of_offset text offset out)
    string(SUBSTRING "${text}" 0 ${offset} before)
    string(REGEX MATCHALL "\n" breaks "${before}")
    list(LENGTH breaks n)
    math(EXPR n "${n} + 1")
    set(${out} ${n} PARENT_SCOPE)
endfunction()

if(NOT EXISTS "${IMAGE}")
    message(FATAL_ERROR "${IMAGE}: firmware image file not found")
endif()
file(READ "${IMAGE}" content)
string(ASCII 239 187 191 bom)
string(FIND "${content}" "${bom}" bomAt)
if(bomAt EQUAL 0)
    string(SUBSTRING "${content}" 3 -1 content)
endif()
string(REPLACE "\r\n" "\n" content "${content}")

# These would break the line list below; none of them belongs in a firmware file.
foreach(bad ";" "[" "]" "\\")
    string(FIND "${content}" "${bad}" at)
    if(at GREATER_EQUAL 0)
        line_of_offset("${content}" ${at} line)
        image_error(${line} "the character '${bad}' has no place in a firmware file")
    endif()
endforeach()

string(REGEX REPLACE "\n$" "" content "${content}")
string(REPLACE "\n" ";" lines "${content}")
list(LENGTH lines lineCount)
if(lineCount LESS 8)
    image_error(${lineCount} "the file ends inside the eight header lines")
endif()

# Header: eight lines "key=value" in this order.
set(keys "bootloader" "bootloader version" "class" "versionH" "versionL" "platform" "print" "date")
set(fields bl blVer class verH verL platform print date)
foreach(i RANGE 7)
    list(GET lines ${i} text)
    list(GET keys ${i} key)
    list(GET fields ${i} field)
    math(EXPR line "${i} + 1")
    string(LENGTH "${key}=" prefixLength)
    string(SUBSTRING "${text}" 0 ${prefixLength} prefix)
    if(NOT prefix STREQUAL "${key}=")
        image_error(${line} "\"${text}\" is not the header line \"${key}=...\"")
    endif()
    string(SUBSTRING "${text}" ${prefixLength} -1 value)
    if(field STREQUAL "date")
        if(NOT value MATCHES "^[0-9][0-9]\\.[0-9][0-9]\\.[0-9][0-9][0-9][0-9] [0-9][0-9]:[0-9][0-9]:[0-9][0-9]$")
            image_error(${line} "date \"${value}\" is not of the form dd.mm.yyyy hh:mm:ss")
        endif()
        set(date "${value}")
        continue()
    endif()
    if(value MATCHES "^ *([0-9]+)$")
        set(number "${CMAKE_MATCH_1}")
    elseif(value MATCHES "^ *(\\$|0[xX]|[xX])([0-9A-Fa-f]+)$")
        set(number "0x${CMAKE_MATCH_2}")
    else()
        image_error(${line} "\"${value}\" is not a number from 0 to 65535")
    endif()
    string(LENGTH "${number}" digits)
    if(digits GREATER 10)
        image_error(${line} "\"${value}\" is not a number from 0 to 65535")
    endif()
    math(EXPR number "${number}")
    if(number GREATER 65535)
        image_error(${line} "\"${value}\" is not a number from 0 to 65535")
    endif()
    set(${field} ${number})
endforeach()
if(NOT bl MATCHES "^[23]$")
    image_error(1 "bootloader ${bl}: a built-in image must be for bootloader 2 or 3")
endif()

# The logger is programmed only with 64-byte data records (type 00), the vector table's (block
# 03DF) once; every other record before the end record would be passed over, so an image
# holding one would be programmed in part.
function(check_data_record text line)
    string(LENGTH "${text}" length)
    if(NOT text MATCHES "^:40[0-9A-F][0-9A-F][0-9A-F][0-9A-F]00" OR NOT length EQUAL 139)
        if(text STREQUAL ":00000001FF")
            image_error(${line} "the end record stands before the last line; it must be the last")
        endif()
        image_error(${line} "\"${text}\" is not a data record (type 00) of 64 bytes, the only record the logger is programmed with")
    endif()
    if(text MATCHES "^:4003DF")
        if(DEFINED vectorTableLine)
            image_error(${line} "a second record for the vector table (block 03DF, first on line ${vectorTableLine})")
        endif()
        set(vectorTableLine ${line} PARENT_SCOPE)
    endif()
endfunction()

# Programmed lines: every later line without "=", each an Intel-HEX record in upper case, all
# but the last a data record.
set(body "")
set(lastLine -1)
set(lastText "")
math(EXPR lastIndex "${lineCount} - 1")
if(lastIndex GREATER_EQUAL 8)
    foreach(i RANGE 8 ${lastIndex})
        list(GET lines ${i} text)
        math(EXPR line "${i} + 1")
        if(text MATCHES "=")
            continue()
        endif()
        if(NOT text MATCHES "^:([0-9A-F][0-9A-F])+$")
            image_error(${line} "\"${text}\" is not an Intel-HEX record in upper-case digits")
        endif()
        if(lastLine GREATER_EQUAL 0)
            check_data_record("${lastText}" ${lastTextLine})
        endif()
        string(APPEND body "    \"${text}\",\n")
        math(EXPR lastLine "${lastLine} + 1")
        set(lastText "${text}")
        set(lastTextLine ${line})
    endforeach()
endif()
if(lastLine LESS 1)
    image_error(${lineCount} "an image needs at least one data record and the end record")
endif()
if(NOT lastText STREQUAL ":00000001FF")
    image_error(${lastTextLine} "the last line must be the end record \":00000001FF\", not \"${lastText}\"")
endif()

get_filename_component(imageName "${IMAGE}" NAME)
file(WRITE "${OUTPUT}" "// Generated from firmware/images/${imageName}; edit that file, not this one.
#include \"firmware/embedded_image.h\"

namespace pelion {
namespace {
constexpr std::string_view cLines[] = {
${body}};
}  // namespace

static_assert(std::size(cLines) == ${lastLine} + 1);

extern constinit const TEmbeddedImage ${UNIT};
constinit const TEmbeddedImage ${UNIT} = {
    {${class}, ${verH}, ${verL}, ${platform}, ${print}, \"${date}\", ${bl}, ${blVer}},
    ${lastLine},
    cLines,
};

}  // namespace pelion
")
