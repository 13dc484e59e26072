#pragma once
// FIT activities of watches and bike computers, read as track logs (FIT is
// never written). Every FIT file of a file (several may be chained in one)
// is one track log, named by its start time ("YYYY-MM-DD hh:mm:ss", UTC);
// its points are the record messages with a position.
//
// Damage: every FIT file is checked against its header and file CRC. A FIT
// file whose CRC is wrong gives no points; a FIT file cut short (the file
// ends before its data) or with a message that cannot be decoded gives the
// points before that place. The reading stops at the first damage, with one
// warning that names the file; the FIT files before it count in full.

#include <cstdint>
#include <string>
#include <vector>

// Replaces the point table with the track logs of the file; reports its own
// failures. A file without a usable point is an error (0); a damaged file
// that still gave points is read with the warning (1).
int readFitFile(const char* fileName);

// Appends the track logs of the file to the point table as readFitFile
// reads them (records numbered by FIT file from 1, points from 1, the first
// point of each starting a segment). A damaged file, or one that is no FIT
// file, gives the warning that names it and what it held before the damage;
// a file without points gives no message. 1 then. A full table stops the
// reading with capacityMessage (nullptr: the reader's own), and an unreadable
// file with its error: 0, and the table keeps only what it held before.
int appendFitTracks(const char* fileName, const char* capacityMessage);

// appendFitTracks for the bytes of a file already read, without a message
// box: message gets the text of what went wrong. A damaged file or one that
// is no FIT file is a fault and adds nothing (the table as it was), like a
// full table.
enum class FitAppend { Read, FileFault, TableFull };
FitAppend appendFitTracksOf(const std::vector<uint8_t>& bytes, const char* capacityMessage, std::string& message);
