#pragma once
// Identification of the receiver and its protocol list.

#include "link/link.h"

// 1 when the query ran to its end (product data received, a ProtocolSet in
// force). showDialog 1: messages and the device-info dialog; 0: silent,
// with a pause of 1000 ms instead of the dialog.
int queryDeviceInfo(const Link& link, int showDialog);

// The description text of the last query (UTF-8 for display is the caller's
// business: the text is Windows-1252 as the receiver sent it).
const char* deviceDescriptionText();
