// The receiver's protocol list as one heap text.

#include <cstdlib>
#include <cstring>

#include "link/protocol_set.h"

namespace {
char* currentSet = nullptr;
}

const char* protocolSet() { return currentSet; }

bool protocolSetContains(const char* name) { return currentSet && name && strstr(currentSet, name) != nullptr; }

void setProtocolSet(const char* text) {
    char* copy = nullptr;
    if (text) {
        size_t n = strlen(text);
        copy = (char*)malloc(n + 1);
        if (copy) memcpy(copy, text, n + 1);
    }
    free(currentSet);
    currentSet = copy;
}

void clearProtocolSet() {
    free(currentSet);
    currentSet = nullptr;
}
