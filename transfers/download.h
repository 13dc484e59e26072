#pragma once
// Download of waypoints, routes (transferKind 7) and track logs (6) into a file.

void downloadFromDevice(int portNumber, int transferKind, int fileKind, int objectKind);
