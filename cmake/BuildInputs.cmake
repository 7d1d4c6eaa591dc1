# The inputs a printer maker sets: the firmware image, the printer model's hardware ID, the
# firmware version and revision, and how long a printer takes to restart with it; and below them
# the rest of the printer model, which a developer sets here.
# Each is checked when the build is configured, so that a wrong one stops there with what was
# given and what is wanted, instead of giving a tool that can only fail. The code reads the model
# from one generated header, generated/build_config.h in the build folder.
set(UPDATE_TOOL_FIRMWARE_IMAGE "" CACHE FILEPATH
    "Firmware image to embed; empty embeds a generated test image that cannot be released")
set(UPDATE_TOOL_HARDWARE_ID "USB\\VID_7A3D&PID_5E21&MI_01" CACHE STRING
    "Hardware ID of the printer model the tool looks for: USB\\VID_xxxx&PID_xxxx...")
set(UPDATE_TOOL_FIRMWARE_VERSION "test" CACHE STRING
    "Firmware version text shown in the file's properties and in the release zip's name")
set(UPDATE_TOOL_FIRMWARE_REVISION "" CACHE STRING
    "4 hex digits the printer reports as REV_xxxx once it runs this firmware, or empty")
set(UPDATE_TOOL_RESTART_SECONDS "180" CACHE STRING
    "Seconds (1-3600) the printer may take to return with the new firmware; used with a revision")

# The largest image accepted. The image lives inside the executable, which Windows maps as one
# contiguous range of the 32-bit process's 2 GB when it starts, at 0x400000 where it can: 64 MiB
# ends it well below 0x10000000, where DLLs without a base of their own are placed, on every
# Windows the tool runs on. It also keeps the progress bar's 32-bit arithmetic (100 x bar width
# x 4 KiB chunks) exact for bars up to 2,600 pixels wide. Printer firmware of this kind is a
# few megabytes.
set(UPDATE_TOOL_IMAGE_LIMIT 67108864)

# Any release zip in the build folder, whatever version it is named after. A zip left by an
# earlier release would pass for one of a build that was refused, and a maker could ship it.
function(remove_release_zips)
    file(GLOB zips "${CMAKE_BINARY_DIR}/UpdateTool-*.zip")
    if(zips)
        file(REMOVE ${zips})
    endif()
endfunction()

# The text of what is expected may come in two pieces, to keep the lines short.
function(reject_input setting value expected)
    if(ARGC GREATER 3)
        string(APPEND expected "${ARGV3}")
    endif()
    remove_release_zips()
    message(FATAL_ERROR "${setting} is \"${value}\": ${expected}")
endfunction()

# The image every build embeds: the one named, or a deterministic test image. FIRMWARE_IMAGE is
# the file; UPDATE_TOOL_TEST_IMAGE says it is the test image, which builds and tests may use
# and a release may not.
set(UPDATE_TOOL_TEST_IMAGE OFF)
if(UPDATE_TOOL_FIRMWARE_IMAGE STREQUAL "")
    set(FIRMWARE_IMAGE "${CMAKE_BINARY_DIR}/test-firmware.bin")
    set(UPDATE_TOOL_TEST_IMAGE ON)
    add_custom_command(
        OUTPUT "${FIRMWARE_IMAGE}"
        COMMAND Python3::Interpreter "${CMAKE_SOURCE_DIR}/scripts/make_test_image.py"
            "${FIRMWARE_IMAGE}"
        DEPENDS "${CMAKE_SOURCE_DIR}/scripts/make_test_image.py"
        COMMENT "Generating the test firmware image")
else()
    get_filename_component(FIRMWARE_IMAGE "${UPDATE_TOOL_FIRMWARE_IMAGE}" ABSOLUTE)
    if(NOT EXISTS "${FIRMWARE_IMAGE}")
        reject_input(UPDATE_TOOL_FIRMWARE_IMAGE "${FIRMWARE_IMAGE}"
            "no such file; expected the firmware image to embed")
    endif()
    execute_process(
        COMMAND "${Python3_EXECUTABLE}" "${CMAKE_SOURCE_DIR}/scripts/make_test_image.py"
            --classify "${FIRMWARE_IMAGE}"
        OUTPUT_VARIABLE image_kind OUTPUT_STRIP_TRAILING_WHITESPACE
        RESULT_VARIABLE classify_result)
    if(NOT classify_result EQUAL 0)
        reject_input(UPDATE_TOOL_FIRMWARE_IMAGE "${FIRMWARE_IMAGE}"
            "cannot be read; expected a readable firmware image file")
    elseif(image_kind STREQUAL "not-regular")
        reject_input(UPDATE_TOOL_FIRMWARE_IMAGE "${FIRMWARE_IMAGE}"
            "not a regular file; expected the firmware image file itself")
    endif()
    file(SIZE "${FIRMWARE_IMAGE}" image_size)
    if(image_size EQUAL 0)
        reject_input(UPDATE_TOOL_FIRMWARE_IMAGE "${FIRMWARE_IMAGE}"
            "the file is empty; expected the firmware image "
            "(1 to ${UPDATE_TOOL_IMAGE_LIMIT} bytes)")
    elseif(image_size GREATER UPDATE_TOOL_IMAGE_LIMIT)
        reject_input(UPDATE_TOOL_FIRMWARE_IMAGE "${FIRMWARE_IMAGE}"
            "the file is ${image_size} bytes; expected at most "
            "${UPDATE_TOOL_IMAGE_LIMIT} bytes (64 MiB)")
    endif()
    if(image_kind STREQUAL "test-image")
        set(UPDATE_TOOL_TEST_IMAGE ON)
    endif()
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${FIRMWARE_IMAGE}")
endif()
if(UPDATE_TOOL_TEST_IMAGE)
    message(STATUS "Embedding the generated test image (1633101 bytes): for development and "
                   "tests only, not for release; set UPDATE_TOOL_FIRMWARE_IMAGE to the real image")
    set(UPDATE_TOOL_IMAGE_NOTE " (test image, not for release)")
else()
    message(STATUS "Embedding firmware image ${FIRMWARE_IMAGE} (${image_size} bytes)")
    set(UPDATE_TOOL_IMAGE_NOTE "")
endif()
add_custom_target(firmware_image DEPENDS "${FIRMWARE_IMAGE}")

# The hardware ID. Windows forms hardware IDs of characters above the space and below DEL,
# commas excepted; the tool compares them without regard to case, and on the still-image path
# reads the vendor and product IDs as the hexadecimal digits at characters 8 to 11 and 17 to 20.
set(hw_id "${UPDATE_TOOL_HARDWARE_ID}")
string(LENGTH "${hw_id}" id_length)
set(hex "[0-9A-F][0-9A-F][0-9A-F][0-9A-F]")
string(TOUPPER "${hw_id}" id_upper)
if(id_length GREATER 127)
    reject_input(UPDATE_TOOL_HARDWARE_ID "${hw_id}"
        "${id_length} characters; expected at most 127")
elseif(NOT hw_id MATCHES "^[!-~]*$" OR hw_id MATCHES ",")
    reject_input(UPDATE_TOOL_HARDWARE_ID "${hw_id}"
        "expected ASCII letters, digits and signs only, without spaces or commas")
elseif(NOT id_upper MATCHES "^USB\\\\VID_${hex}&PID_${hex}")
    reject_input(UPDATE_TOOL_HARDWARE_ID "${hw_id}"
        "expected the form USB\\VID_xxxx&PID_xxxx with four hexadecimal digits for each xxxx, "
        "optionally followed by more (for example USB\\VID_7A3D&PID_5E21&MI_01)")
endif()
message(STATUS "The tool looks for printers with hardware ID ${hw_id}")
# Written as a C string literal: a backslash, quote or question mark in the ID is escaped.
string(REPLACE "\\" "\\\\" id_literal "${hw_id}")
string(REPLACE "\"" "\\\"" id_literal "${id_literal}")
string(REPLACE "?" "\\?" id_literal "${id_literal}")

# The printer model beyond its hardware ID: how it is looked for and how its firmware is sent.
# A model that differs here is built from this block changed, with its own hardware ID.
# - UPDATE_TOOL_LINK_KIND: LINK_PRINTER_CLASS looks through the USB printer device-interface
#   class; LINK_SCANNER_PORT through the still-image ports, by the vendor and product IDs.
# - UPDATE_TOOL_SCAN_PIPE_MODE: on a still-image port, 0 writes to pipe 0 (pipe 1 beside it),
#   2 to pipe 2 (pipe 3 beside it). Any other mode can find no printer.
# - UPDATE_TOOL_SEND_MODE: SEND_WRITE writes the bytes. SEND_VENDOR_COMMAND is refused: it
#   sends only each piece's first three bytes, as a vendor command, and reports success.
# - UPDATE_TOOL_CHUNK_SIZE: the most image bytes per write, one step of the progress bar.
# - UPDATE_TOOL_HEADER: the bytes sent before the image, with the image's length written over
#   the four at UPDATE_TOOL_HEADER_LENGTH_AT, most significant byte first. A model that sends
#   the bare image has both empty: set(UPDATE_TOOL_HEADER "") and
#   set(UPDATE_TOOL_HEADER_LENGTH_AT "").
# Numbers are decimal: the generated header hands them to the compiler as written, which reads
# a leading 0 as octal.
set(UPDATE_TOOL_LINK_KIND LINK_PRINTER_CLASS)
set(UPDATE_TOOL_SCAN_PIPE_MODE 0)
set(UPDATE_TOOL_SEND_MODE SEND_WRITE)
set(UPDATE_TOOL_CHUNK_SIZE 4096)
set(UPDATE_TOOL_HEADER
    0xCD 0xCA 0x10 0x00 0x00 0xFD 0x00 0x01 0x00 0x04 0x00 0x00
    0x00 0x00 0x00 0x04 0x00 0x00 0x00 0x00 0x00 0x00 0x00 0x00)
set(UPDATE_TOOL_HEADER_LENGTH_AT 20)

# These are not settings of a build folder: a value given with -D would be shadowed by the
# block above in silence, and a cached default would outlive an edit of the block in every
# build folder configured before it. A value given for one is refused, and stays refused until
# it is removed with -U.
foreach(setting UPDATE_TOOL_LINK_KIND UPDATE_TOOL_SCAN_PIPE_MODE UPDATE_TOOL_SEND_MODE
        UPDATE_TOOL_CHUNK_SIZE UPDATE_TOOL_HEADER UPDATE_TOOL_HEADER_LENGTH_AT)
    if(DEFINED CACHE{${setting}})
        reject_input(${setting} "$CACHE{${setting}}"
            "expected it unset: the printer model is set in the model block of "
            "cmake/BuildInputs.cmake, never with -D or a preset (remove it with -U ${setting})")
    endif()
endforeach()

if(NOT UPDATE_TOOL_LINK_KIND MATCHES "^(LINK_PRINTER_CLASS|LINK_SCANNER_PORT)$")
    reject_input(UPDATE_TOOL_LINK_KIND "${UPDATE_TOOL_LINK_KIND}"
        "expected LINK_PRINTER_CLASS or LINK_SCANNER_PORT")
elseif(NOT UPDATE_TOOL_SCAN_PIPE_MODE MATCHES "^[02]$")
    reject_input(UPDATE_TOOL_SCAN_PIPE_MODE "${UPDATE_TOOL_SCAN_PIPE_MODE}"
        "expected 0 (pipes 0 and 1) or 2 (pipes 2 and 3)")
elseif(UPDATE_TOOL_SEND_MODE STREQUAL "SEND_VENDOR_COMMAND")
    reject_input(UPDATE_TOOL_SEND_MODE "${UPDATE_TOOL_SEND_MODE}"
        "expected SEND_WRITE: a vendor command carries only the first 3 bytes of each piece, "
        "so the image would not reach the printer while the tool reports success")
elseif(NOT UPDATE_TOOL_SEND_MODE STREQUAL "SEND_WRITE")
    reject_input(UPDATE_TOOL_SEND_MODE "${UPDATE_TOOL_SEND_MODE}" "expected SEND_WRITE")
endif()
# At least 4 KiB: the progress bar's 32-bit arithmetic is exact for the steps of an image at the
# limit above in chunks of that size, and no fewer.
if(NOT UPDATE_TOOL_CHUNK_SIZE MATCHES "^[1-9][0-9]*$" OR UPDATE_TOOL_CHUNK_SIZE LESS 4096
   OR UPDATE_TOOL_CHUNK_SIZE GREATER UPDATE_TOOL_IMAGE_LIMIT)
    reject_input(UPDATE_TOOL_CHUNK_SIZE "${UPDATE_TOOL_CHUNK_SIZE}"
        "expected a whole decimal number of bytes from 4096 to ${UPDATE_TOOL_IMAGE_LIMIT}")
endif()
list(LENGTH UPDATE_TOOL_HEADER header_length)
foreach(byte IN LISTS UPDATE_TOOL_HEADER)
    if(NOT byte MATCHES "^0x[0-9A-Fa-f][0-9A-Fa-f]$")
        reject_input(UPDATE_TOOL_HEADER "${byte}" "expected every byte written 0x00 to 0xFF")
    endif()
endforeach()
if(header_length EQUAL 0)
    if(NOT UPDATE_TOOL_HEADER_LENGTH_AT STREQUAL "")
        reject_input(UPDATE_TOOL_HEADER_LENGTH_AT "${UPDATE_TOOL_HEADER_LENGTH_AT}"
            "expected it empty, as UPDATE_TOOL_HEADER is: without a header there is no length "
            "to write")
    endif()
    message(STATUS "The printer model sends the image without a header")
else()
    math(EXPR header_room "${header_length} - 4")
    if(NOT UPDATE_TOOL_HEADER_LENGTH_AT MATCHES "^(0|[1-9][0-9]*)$"
       OR UPDATE_TOOL_HEADER_LENGTH_AT GREATER header_room)
        reject_input(UPDATE_TOOL_HEADER_LENGTH_AT "${UPDATE_TOOL_HEADER_LENGTH_AT}"
            "expected the offset, in decimal, of four bytes inside the ${header_length}-byte "
            "UPDATE_TOOL_HEADER")
    endif()
endif()

# The firmware version: free text a user reads in the file's properties, and part of the
# release zip's file name, so it holds no character a Windows file name cannot.
set(fw_version "${UPDATE_TOOL_FIRMWARE_VERSION}")
string(LENGTH "${fw_version}" version_length)
if(version_length EQUAL 0 OR version_length GREATER 64)
    reject_input(UPDATE_TOOL_FIRMWARE_VERSION "${fw_version}"
        "${version_length} characters; expected 1 to 64")
elseif(NOT fw_version MATCHES "^[ -~]*$")
    reject_input(UPDATE_TOOL_FIRMWARE_VERSION "${fw_version}"
        "expected printable ASCII characters only")
elseif(fw_version MATCHES "[\\\\/:*?\"<>|;#%]")
    reject_input(UPDATE_TOOL_FIRMWARE_VERSION "${fw_version}"
        "expected none of \\ / : * ? \" < > | ; # % (the text is part of the release zip's name)")
elseif(fw_version MATCHES "^ | $|\\.$")
    reject_input(UPDATE_TOOL_FIRMWARE_VERSION "${fw_version}"
        "expected no space at either end and no dot at the end (the text is part of the "
        "release zip's name)")
endif()
message(STATUS "Firmware version: ${fw_version}")

# How long a printer may take, after the last byte, to come back with the new firmware. Checked
# with or without a revision, so that a wrong one does not wait for the build that sets one. At
# most four digits: a longer number is out of range whatever its value.
set(restart_seconds "${UPDATE_TOOL_RESTART_SECONDS}")
if(NOT restart_seconds MATCHES "^[1-9][0-9]?[0-9]?[0-9]?$" OR restart_seconds GREATER 3600)
    reject_input(UPDATE_TOOL_RESTART_SECONDS "${restart_seconds}"
        "expected a whole decimal number of seconds from 1 to 3600, without leading zeros")
endif()

# The firmware's revision: the release number a printer lists in its hardware IDs as REV_xxxx
# once it runs this firmware. It is what tells a printer that already has the firmware from one
# that needs it, and a restarted printer that has come back with it; without one the tool can
# tell neither. Written into the header as a C number, -1 when there is none.
set(fw_revision "${UPDATE_TOOL_FIRMWARE_REVISION}")
string(TOUPPER "${fw_revision}" revision_upper)
if(fw_revision STREQUAL "")
    set(revision_number -1)
    message(STATUS "No firmware revision: the tool will not tell a printer that has this firmware "
                   "from one that needs it; set UPDATE_TOOL_FIRMWARE_REVISION to its REV_ number")
elseif(NOT revision_upper MATCHES "^${hex}$")
    reject_input(UPDATE_TOOL_FIRMWARE_REVISION "${fw_revision}"
        "expected empty or four hexadecimal digits, the REV_ number the printer reports once it "
        "runs this firmware (0231 for REV_0231)")
else()
    set(revision_number "0x${revision_upper}")
    message(STATUS "Firmware revision: REV_${revision_upper}; a printer may take up to "
                   "${restart_seconds} seconds after the last byte to come back with it")
endif()

string(REPLACE ";" ", " header_bytes "${UPDATE_TOOL_HEADER}")
configure_file("${CMAKE_SOURCE_DIR}/cmake/build_config.h.in"
    "${CMAKE_BINARY_DIR}/generated/build_config.h" @ONLY)
