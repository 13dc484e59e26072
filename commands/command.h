#pragma once
// The command driver: every command that talks to the receiver.

#include "link/link.h"
#include "model/kinds.h"

// The enumerators are also usable unqualified (DownloadWaypoints).
enum class TransferCommand {
    DownloadWaypoints = 1,  // "Wegpunkte / Route(n) holen"
    UploadWaypoints = 2,    // "Wegpunkte / Route(n) senden"
    DownloadTracks = 3,     // "Track-Aufzeichnung(en) holen"
    UploadTracks = 4,       // "Track-Aufzeichnung(en) senden"
    DeviceInfo = 5          // "&Geräte-Info   "
};
using enum TransferCommand;

// What a transfer command moves: track logs, or waypoints and routes.
constexpr TransferKind transferKindOf(TransferCommand command) {
    return command == DownloadTracks || command == UploadTracks ? TransferKind::Tracks : TransferKind::Waypoints;
}
constexpr bool isUpload(TransferCommand command) { return command == UploadWaypoints || command == UploadTracks; }

// Set while runCommand works on an open link.
extern bool transferBusy;

// The status line's idle and busy texts.
extern const char* const kStatusReady;  // "  Status:   Bereit."
extern const char* const kStatusWait;   // "  Status:   Bitte warten."

// Runs the command with the receiver at the port (USB, COM1..COM8 or the
// Garmin drive of link/drive.h). fileKind and objectKind are not used by
// DeviceInfo. Returns 0.
int runCommand(TransferCommand command, const Port& port, FileKind fileKind, ObjectKind objectKind);
