#pragma once
// What a command works on: the kind of transfer, of file and of object.

#include <cstdint>

// What a transfer moves. The values are the receiver's transfer command
// numbers, as the readers and the link take them; the route download asks
// for routes with its own number (kRouteTransferCommand).
enum class TransferKind : uint8_t {
    Tracks = 6,
    Waypoints = 7,  // waypoints and routes
    // The OVL conversion reads a binary overlay as track logs are read,
    // without automatic names.
    OvlConversion = 157,
};
inline constexpr uint8_t kRouteTransferCommand = 4;

// The number a reader or a transfer command takes for the kind.
constexpr int transferKindCode(TransferKind kind) { return static_cast<int>(kind); }

enum ObjectKind { LineObjects = 1, PointObjects = 2 };

// The file types; the enumerators are also usable unqualified (MapInfoMif).
// Fit is read only (the conversion reads it; no file type choice holds it).
enum class FileKind : uint8_t { MapInfoMif = 1, OvlAscii = 2, OvlBinary = 3, Gpx = 4, Fit = 5 };
using enum FileKind;

// The object type choice of the main window, and its index in the parameter
// file, list the kinds in order from 0.
constexpr ObjectKind objectKindAtIndex(int index) { return index == 1 ? PointObjects : LineObjects; }
constexpr int objectKindIndex(ObjectKind kind) { return kind == PointObjects ? 1 : 0; }
