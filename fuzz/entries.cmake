# The fuzz entry points that the current tree can build, shared by the
# libFuzzer targets (fuzz/CMakeLists.txt) and the corpus replay test
# (tests/records). For each target name in WEGMATE_FUZZ_TARGETS:
#   WEGMATE_FUZZ_SOURCE_<name>  the entry's source file
#   WEGMATE_FUZZ_ENTRY_<name>   the entry function of fuzz_entries.h
#   WEGMATE_FUZZ_LIBS_<name>    the libraries it needs
# A target is listed only when the code it exercises is in the tree.

set(WEGMATE_FUZZ_DIR ${PROJECT_SOURCE_DIR}/fuzz)
set(WEGMATE_FUZZ_TARGETS)

macro(wegmate_fuzz_entry name entry source required)
  set(_present TRUE)
  if(NOT EXISTS ${WEGMATE_FUZZ_DIR}/${source})
    set(_present FALSE)
  endif()
  foreach(_file ${required})
    if(NOT EXISTS ${PROJECT_SOURCE_DIR}/${_file})
      set(_present FALSE)
    endif()
  endforeach()
  if(_present)
    list(APPEND WEGMATE_FUZZ_TARGETS ${name})
    set(WEGMATE_FUZZ_SOURCE_${name} ${WEGMATE_FUZZ_DIR}/${source})
    set(WEGMATE_FUZZ_ENTRY_${name} ${entry})
    set(WEGMATE_FUZZ_LIBS_${name} ${ARGN})
  endif()
endmacro()

wegmate_fuzz_entry(records fuzzRecords records_entry.cpp
  "transfer/record_formats.cpp" wegmate_base)
wegmate_fuzz_entry(mif_reader fuzzMifReader mif_entry.cpp
  "formats/mif.cpp" wegmate_formats wegmate_base)
wegmate_fuzz_entry(ovl_ascii_reader fuzzOvlAsciiReader ovl_ascii_entry.cpp
  "formats/ovl_ascii.cpp" wegmate_formats wegmate_base)
wegmate_fuzz_entry(ovl_binary_reader fuzzOvlBinaryReader ovl_binary_entry.cpp
  "formats/ovl_binary.cpp" wegmate_formats wegmate_base)
wegmate_fuzz_entry(file_writers fuzzFileWriters file_writers_entry.cpp
  "formats/mif.cpp;formats/ovl_ascii.cpp;formats/ovl_binary.cpp" wegmate_formats wegmate_base)
wegmate_fuzz_entry(download fuzzDownload download_entry.cpp
  "transfer/download.cpp;link/packet.cpp;link/serial.cpp" wegmate_ops wegmate_formats wegmate_link wegmate_base)
wegmate_fuzz_entry(upload fuzzUpload upload_entry.cpp
  "transfer/upload.cpp;link/packet.cpp;link/serial.cpp" wegmate_ops wegmate_formats wegmate_link wegmate_base)
wegmate_fuzz_entry(device_query fuzzDeviceQuery device_query_entry.cpp
  "link/device_info.cpp;link/packet.cpp;link/serial.cpp" wegmate_link wegmate_base)
wegmate_fuzz_entry(serial_packet fuzzSerialPacket serial_packet_entry.cpp
  "link/packet.cpp;link/serial.cpp" wegmate_link wegmate_base)
wegmate_fuzz_entry(usb_packet fuzzUsbPacket usb_packet_entry.cpp
  "link/packet.cpp;link/usb.cpp;link/serial.cpp" wegmate_link wegmate_base)

# Helpers every entry may use.
set(WEGMATE_FUZZ_COMMON_SOURCES ${WEGMATE_FUZZ_DIR}/fuzz_support.cpp)
