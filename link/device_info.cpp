// Identification of the receiver: product data, protocol array or a fixed
// list chosen from the product name, and the device-info dialog.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/platform.h"
#include "platform/text_encoding.h"
#include "link/device_info.h"
#include "link/link_clock.h"
#include "link/packet.h"
#include "link/protocol_set.h"
#include "link/transport.h"

namespace {

constexpr int kDescriptionSize = 1500;
// Extended product data packets are skipped for at most this long.
constexpr uint32_t kExtProductLimitMs = 5000;
char description[kDescriptionSize];

const char* const kEtrexList = "A100\r\nA201\r\nA301\r\nD108\r\nD202\r\nD210\r\nD301\r\nD310\r\n";
const char* const kGps76List =
    "P000\r\nL001\r\nA010\r\nA100\r\nD109\r\nA201\r\nD202\r\nD109\r\nD210\r\nA301\r\nD310\r\n"
    "D301\r\nA400\r\nD109\r\nA500\r\nD501\r\nA600\r\nD600\r\nA700\r\nD700\r\nA800\r\nD800\r\n"
    "A900\r\nA902\r\nA903\r\n";
const char* const kDefaultList = "A100\r\nA200\r\nA300\r\nD103\r\nD201\r\n____\r\nD300\r\n____\r\n";

// Text kept in Windows-1252 like the receiver's part of it.
const char* const kNoProtocols = "\r\nGer\xE4t liefert keine\r\nProtokoll-Informationen.\n";

void appendDescription(const char* text) {
    size_t used = strlen(description);
    size_t n = strlen(text);
    if (used + n >= sizeof description) n = sizeof description - 1 - used;
    memcpy(description + used, text, n);
    description[used + n] = 0;
}

void messageIf(int showDialog, const char* text) {
    if (showDialog) showError(text);
}

// "\r\n%c%03d" for every three-byte entry of the array. A number of four
// or five digits, or a negative one, needs more than the usual seven
// characters: room is made for the longest form ("\r\nD-32768").
void buildFromArray(const Packet& p) {
    int entries = p.size / 3;
    size_t room = (size_t)entries * 9 + 2;
    char* text = (char*)malloc(room);
    if (!text) return;
    size_t used = 0;
    text[0] = 0;
    for (int i = 0; i < entries; i++) {
        const uint8_t* e = p.data + 3 * i;
        int16_t number = (int16_t)(e[1] | (e[2] << 8));
        int n = snprintf(text + used, room - used, "\r\n%c%03d", (char)e[0], (int)number);
        if (n < 0 || (size_t)n >= room - used) break;
        used += (size_t)n;
    }
    setProtocolSet(text);
    free(text);
}

void chooseFallback() {
    const char* list = kDefaultList;
    if (strstr(description, "eTrex") || strstr(description, "ETrex") || strstr(description, "Etrex") ||
        strstr(description, "ETREX"))
        list = kEtrexList;
    else if (strstr(description, "GPS 76 "))
        list = kGps76List;
    char buffer[250];
    snprintf(buffer, sizeof buffer, "%s", list);
    setProtocolSet(buffer);
}

}  // namespace

const char* deviceDescriptionText() { return description; }

int queryDeviceInfo(const Link& link, int showDialog) {
    uint8_t empty[255] = {};
    Packet p;
    p.build(kPidProductRqst, 0, empty);
    if (!openingExchange(link, p, 3, 200)) {
        messageIf(showDialog, "Fehler beim Aufbau der Verbindung zum GPS-Gerät.");
        return 0;
    }
    if (!p.receive(link, 1, 5.0)) {
        messageIf(showDialog, "GPS-Gerät antwortet nicht.");
        return 0;
    }
    if (p.id != kPidProductData) {
        messageIf(showDialog, "GPS-Gerät sendet keine Produktdaten.");
        link.finishExchange();
        return 0;
    }

    // Product number, version and the first zero-terminated text, read only
    // from the bytes the packet holds.
    uint16_t product = p.size >= 2 ? (uint16_t)(p.data[0] | (p.data[1] << 8)) : 0;
    uint16_t version = p.size >= 4 ? (uint16_t)(p.data[2] | (p.data[3] << 8)) : 0;
    char name[256];
    int n = 0;
    for (int i = 4; i < p.size && p.data[i] != 0; i++) name[n++] = (char)p.data[i];
    name[n] = 0;
    snprintf(description, sizeof description, "%s\r\n(%d / %.2f)\r\n", name, (int)product, version / 100.0);

    if (link.acknowledged && !sendAck(link, kPidProductData)) {
        messageIf(showDialog, "Übertragungsfehler.");
        return 0;
    }

    clearProtocolSet();
    bool haveArray = false;
    // A receiver without a protocol array simply sends nothing more; that is
    // no failure, not even on USB, where failed reads are otherwise reported.
    if (receiveOptional(p, link, 1.0)) {
        // Any number of extended product data packets may come first, none
        // of them acknowledged; the array may follow within a second of the
        // last one.
        const uint32_t start = linkIo().nowMs();
        while (p.id == kPidExtProductData) {
            if ((uint32_t)(linkIo().nowMs() - start) > kExtProductLimitMs || !receiveOptional(p, link, 1.0)) p.id = 0;
        }
        if (p.id == kPidProtocolArray) {
            appendDescription("\r\nProtokolle:");
            buildFromArray(p);
            if (protocolSet()) appendDescription(protocolSet());
            haveArray = true;
        }
        if (link.acknowledged && !sendAck(link, p.id)) {
            messageIf(showDialog, "Übertragungsfehler.");
            return 0;
        }
    }
    if (!haveArray) {
        appendDescription(kNoProtocols);
        chooseFallback();
    }

    if (showDialog)
        platform().deviceInfoDialog(" Wegmate -- Angeschlossenes Gerät", cp1252ToUtf8(description).c_str());
    else
        pauseMs(1000);

    link.finishExchange();
    return 1;
}
