#pragma once
// The file types, one row each: their names, extension, dialog texts and
// filter, what they can hold, and their reader and writer. The download, the
// upload, the conversion, the main window's file type choice and the
// command-line tool all take a file type from here. The types that are only
// read (FIT) have rows of their own beside the choice: the choice, and the
// file type index of the parameter file, cover the other rows alone.

#include <span>
#include <string_view>

#include "model/kinds.h"
#include "model/names.h"
#include "platform/platform.h"

// What a reader is told and what it reports beyond the point table.
struct ReadFacts {
    // The reader may ask whether several lines are several track logs.
    bool askSeparateTracks = false;
    // It asked, and the answer was yes.
    bool separateTracksAnswered = false;
    // The file carries route or track numbers / names.
    bool hasNumbers = false;
    bool hasNames = false;
    // The automatic-naming state the reader starts and the upload's naming
    // step goes on with.
    NamingState naming;
};

struct FileFormat {
    FileKind kind;
    const char* name;         // on the command line: "mif", "ovl-ascii", ...
    const char* choiceText;   // in the main window's file type choice (UTF-8)
    const char* extension;    // the default extension: "mif"
    const char* pattern;      // the preset of the file dialogs: "*.mif"
    FileFilter filter;        // the filter list of the file dialogs
    const char* filterText;   // its entry as shown: "MapInfo-MIF-Dateien   (*.mif)"
    const char* filterMatch;  // the same as the dialog matches it: "MapInfo-MIF-Dateien (*.mif)"
    const char* saveTitle;    // save dialog of a download
    const char* openTitle;    // open dialog of an upload
    // The file can carry route or track numbers or names (the upload asks
    // accordingly).
    bool carriesRouteOrTrackIds;
    // The file holds a line of a single point.
    bool keepsShortLines;
    // Replaces the point table with the file's content; reports its own
    // failures. 1 or 0.
    int (*read)(const char* fileName, TransferKind transferKind, ReadFacts& facts);
    // Writes the point table; shows nothing. 1 or 0. nullptr for a type
    // that is only read.
    int (*write)(const char* fileName, ObjectKind objectKind, TransferKind transferKind);
    // The file holds track logs and nothing else: it is always read as
    // track logs.
    bool onlyTrackLogs = false;
};

// Every file type, in the order of the file type choice (index 0 first).
std::span<const FileFormat> fileFormats();
// The row of a kind, read-only types included; a value outside the table is
// the binary overlay.
const FileFormat& fileFormat(FileKind kind);
// The row of a command-line name among the types of the choice, or nullptr.
const FileFormat* findFileFormat(std::string_view name);
// The same among every type that can be read, the read-only ones included.
const FileFormat* findInputFileFormat(std::string_view name);
// The first row with that filter list (the front ends' filter texts).
const FileFormat& fileFormatWithFilter(FileFilter filter);
