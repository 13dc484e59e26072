#pragma once
// The command driver: every command that talks to the receiver.

enum TransferCommand {
    DownloadWaypoints = 1,  // "Wegpunkte / Route(n) holen"
    UploadWaypoints = 2,    // "Wegpunkte / Route(n) senden"
    DownloadTracks = 3,     // "Track-Aufzeichnung(en) holen"
    UploadTracks = 4,       // "Track-Aufzeichnung(en) senden"
    DeviceInfo = 5          // "&Geräte-Info   "
};

// Set while runCommand works on an open link.
extern bool transferBusy;

// The status line's idle and busy texts.
extern const char* const kStatusReady;  // "  Status:   Bereit."
extern const char* const kStatusWait;   // "  Status:   Bitte warten."

// portNumber 0 = USB, 1..8 = COM1..COM8, 9 = the Garmin drive (link/drive.h);
// fileKind 1..4; objectKind 1..2.
// Returns 0.
int runCommand(int command, int portNumber, int fileKind, int objectKind);
