// Replays every stored fuzz input (fuzz/corpus/<target>/ and
// fuzz/regressions/<target>/) through its entry point, built with the
// normal compiler. A fault shows as a crash, a sanitizer report in the
// sanitizer build, or an abort of the entry's own checks.

#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "fuzz_entries.h"

namespace {

std::vector<std::string> filesIn(const std::string& dir) {
    std::vector<std::string> files;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d)) {
            if (e->d_name[0] == '.') continue;
            files.push_back(dir + "/" + e->d_name);
        }
        closedir(d);
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<uint8_t> readAll(const std::string& path) {
    std::vector<uint8_t> bytes;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return bytes;
    uint8_t buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
    std::fclose(f);
    return bytes;
}

void replay(const char* target, int (*entry)(const uint8_t*, size_t)) {
    std::vector<std::string> corpus = filesIn(std::string(WEGMATE_FUZZ_DIR) + "/corpus/" + target);
    std::vector<std::string> regressions = filesIn(std::string(WEGMATE_FUZZ_DIR) + "/regressions/" + target);
    ASSERT_FALSE(corpus.empty()) << "no seed corpus for " << target;
    for (const std::vector<std::string>* list : {&corpus, &regressions}) {
        for (const std::string& path : *list) {
            SCOPED_TRACE(path);
            std::vector<uint8_t> bytes = readAll(path);
            // An exactly sized heap copy, as libFuzzer passes it.
            std::vector<uint8_t> input(bytes);
            EXPECT_EQ(entry(input.empty() ? nullptr : input.data(), input.size()), 0);
        }
    }
}

}  // namespace

#ifdef WEGMATE_FUZZ_HAVE_RECORDS
TEST(FuzzReplay, Records) { replay("records", fuzzRecords); }
#endif
#ifdef WEGMATE_FUZZ_HAVE_MIF_READER
TEST(FuzzReplay, MifReader) { replay("mif_reader", fuzzMifReader); }
#endif
#ifdef WEGMATE_FUZZ_HAVE_OVL_ASCII_READER
TEST(FuzzReplay, OvlAsciiReader) { replay("ovl_ascii_reader", fuzzOvlAsciiReader); }
#endif
#ifdef WEGMATE_FUZZ_HAVE_OVL_BINARY_READER
TEST(FuzzReplay, OvlBinaryReader) { replay("ovl_binary_reader", fuzzOvlBinaryReader); }
#endif
#ifdef WEGMATE_FUZZ_HAVE_GPX_READER
TEST(FuzzReplay, GpxReader) { replay("gpx_reader", fuzzGpxReader); }
#endif
#ifdef WEGMATE_FUZZ_HAVE_FIT_READER
TEST(FuzzReplay, FitReader) { replay("fit_reader", fuzzFitReader); }
#endif
#ifdef WEGMATE_FUZZ_HAVE_FILE_WRITERS
TEST(FuzzReplay, FileWriters) { replay("file_writers", fuzzFileWriters); }
#endif
#ifdef WEGMATE_FUZZ_HAVE_DEVICE_XML
TEST(FuzzReplay, DeviceXml) { replay("device_xml", fuzzDeviceXml); }
#endif
#ifdef WEGMATE_FUZZ_HAVE_DOWNLOAD
TEST(FuzzReplay, Download) { replay("download", fuzzDownload); }
#endif
#ifdef WEGMATE_FUZZ_HAVE_UPLOAD
TEST(FuzzReplay, Upload) { replay("upload", fuzzUpload); }
#endif
#ifdef WEGMATE_FUZZ_HAVE_DEVICE_QUERY
TEST(FuzzReplay, DeviceQuery) { replay("device_query", fuzzDeviceQuery); }
#endif
#ifdef WEGMATE_FUZZ_HAVE_SERIAL_PACKET
TEST(FuzzReplay, SerialPacket) { replay("serial_packet", fuzzSerialPacket); }
#endif
#ifdef WEGMATE_FUZZ_HAVE_USB_PACKET
TEST(FuzzReplay, UsbPacket) { replay("usb_packet", fuzzUsbPacket); }
#endif
