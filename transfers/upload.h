#pragma once
// Upload of waypoints, routes (transferKind 7) and track logs (6) from a file.

void uploadToDevice(int portNumber, int transferKind, int fileKind);
