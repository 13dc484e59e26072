#pragma once
// wegmate-cli convert --from FORMAT --to FORMAT: a file of one file type read
// into the point table and written as another, without a receiver.

#include <string>

// 1 when the output was written; reports everything through the platform.
// transferKind 6 reads the input as track logs, 7 as waypoints and routes.
int convertBetweenFileKinds(int fromKind, int toKind, int objectKind, int transferKind, const std::string& input,
                            const std::string& output);

// The default extension of a file kind ("mif", "ovl", "gpx").
const char* defaultExtension(int fileKind);
