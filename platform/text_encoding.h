#pragma once
// Receiver records and files carry 8-bit Windows-1252 text; the front ends
// and the messages of the program are UTF-8.

#include <string>

// Every byte becomes its Windows-1252 character; the five undefined bytes
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 control of the same value.
std::string cp1252ToUtf8(const std::string& text);
// Characters without a Windows-1252 form become '?'; invalid UTF-8 bytes
// are taken as Latin-1.
std::string utf8ToCp1252(const std::string& text);
