#pragma once
// wegmate-cli convert --from FORMAT --to FORMAT: a file of one file type read
// into the point table and written as another, without a receiver.

#include <string>
#include <vector>

#include "model/content.h"
#include "model/kinds.h"

// 1 when the output was written; reports everything through the platform.
// transferKind tells whether the input is read as track logs or as waypoints
// and routes; a file type that holds only track logs is read as track logs.
// selection: the items to convert, by the numbers or names of
// listFileContent; empty for all.
int convertBetweenFileKinds(FileKind fromKind, FileKind toKind, ObjectKind objectKind, TransferKind transferKind,
                            const std::string& input, const std::string& output, const std::string& selection = "");

// With line objects, a waypoint (no route and point number) is no vertex
// of a line: such records leave the table, counted in one warning.
void leaveWaypointsOutOfLines();

// wegmate-cli list --format FORMAT FILE: the items of the file read as the
// transfer kind reads it. false after the reader's message.
bool listFileContent(FileKind kind, TransferKind transferKind, const std::string& input,
                     std::vector<ContentItem>& items);

