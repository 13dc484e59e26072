#pragma once
// The receiver's protocol list: one text of four-character names separated
// by CR LF, queried only by substring tests.

// The current ProtocolSet text, or nullptr when none is in force.
const char* protocolSet();
// ProtocolSet contains name (nullptr set: false).
bool protocolSetContains(const char* name);
void setProtocolSet(const char* text);  // copies text
void clearProtocolSet();
