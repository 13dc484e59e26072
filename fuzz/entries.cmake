# The fuzz entry points, shared by the libFuzzer targets (fuzz/CMakeLists.txt)
# and the corpus replay test (tests/records). For each target name in
# WEGMATE_FUZZ_TARGETS:
#   WEGMATE_FUZZ_SOURCE_<name>  the entry's source file
#   WEGMATE_FUZZ_ENTRY_<name>   the entry function of fuzz_entries.h
#   WEGMATE_FUZZ_LIBS_<name>    the libraries it needs

set(WEGMATE_FUZZ_DIR ${PROJECT_SOURCE_DIR}/fuzz)
set(WEGMATE_FUZZ_TARGETS)

macro(wegmate_fuzz_entry name entry source)
  list(APPEND WEGMATE_FUZZ_TARGETS ${name})
  set(WEGMATE_FUZZ_SOURCE_${name} ${WEGMATE_FUZZ_DIR}/${source})
  set(WEGMATE_FUZZ_ENTRY_${name} ${entry})
  set(WEGMATE_FUZZ_LIBS_${name} ${ARGN})
endmacro()

wegmate_fuzz_entry(records fuzzRecords records_entry.cpp wegmate_records)
wegmate_fuzz_entry(mif_reader fuzzMifReader mif_entry.cpp wegmate_formats)
wegmate_fuzz_entry(ovl_ascii_reader fuzzOvlAsciiReader ovl_ascii_entry.cpp wegmate_formats)
wegmate_fuzz_entry(ovl_binary_reader fuzzOvlBinaryReader ovl_binary_entry.cpp wegmate_formats)
wegmate_fuzz_entry(gpx_reader fuzzGpxReader gpx_entry.cpp wegmate_formats)
wegmate_fuzz_entry(fit_reader fuzzFitReader fit_entry.cpp wegmate_formats)
wegmate_fuzz_entry(file_writers fuzzFileWriters file_writers_entry.cpp wegmate_formats wegmate_records)
wegmate_fuzz_entry(download fuzzDownload download_entry.cpp wegmate_transfers)
wegmate_fuzz_entry(upload fuzzUpload upload_entry.cpp wegmate_transfers)
wegmate_fuzz_entry(device_query fuzzDeviceQuery device_query_entry.cpp wegmate_link wegmate_records)
wegmate_fuzz_entry(device_xml fuzzDeviceXml device_xml_entry.cpp wegmate_link)
wegmate_fuzz_entry(serial_packet fuzzSerialPacket serial_packet_entry.cpp wegmate_link)
wegmate_fuzz_entry(usb_packet fuzzUsbPacket usb_packet_entry.cpp wegmate_link)

# Helpers every entry may use.
set(WEGMATE_FUZZ_COMMON_SOURCES ${WEGMATE_FUZZ_DIR}/fuzz_support.cpp)
