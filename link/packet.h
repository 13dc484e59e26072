#pragma once
// One link-layer packet and its acknowledgement rules.

#include <cstdint>

#include "link/link.h"

constexpr uint8_t kPidAck = 6;
constexpr uint8_t kPidNak = 21;
constexpr uint8_t kPidCommand = 10;
constexpr uint8_t kPidXferComplete = 12;
constexpr uint8_t kPidRecords = 27;
constexpr uint8_t kPidRteHdr = 29;
constexpr uint8_t kPidRteWptData = 30;
constexpr uint8_t kPidTrkData = 34;
constexpr uint8_t kPidWptData = 35;
constexpr uint8_t kPidRteLinkData = 98;
constexpr uint8_t kPidTrkHdr = 99;
constexpr uint8_t kPidExtProductData = 248;
constexpr uint8_t kPidProtocolArray = 253;
constexpr uint8_t kPidProductRqst = 254;
constexpr uint8_t kPidProductData = 255;

struct Packet {
    uint8_t id = 0;
    uint8_t size = 0;
    uint8_t data[255] = {};
    uint8_t checksum = 0;

    // Sets id and size, copies 255 bytes from data (the caller's buffer
    // holds 255 bytes), computes the checksum. Returns 1.
    int build(uint8_t id, uint8_t size, const uint8_t* data);
    // 1 on success. reportErrors 0 keeps the serial link's messages back
    // (USB shows its own always).
    int send(const Link& link, int reportErrors) const;
    // 1 when a complete, valid packet arrived.
    int receive(const Link& link, int reportErrors, double timeoutSeconds);
};

// True when the last receive failed with a message of its own (a read
// error, a checksum error): the caller adds none of its own, one box is
// enough.
bool receiveShowedMessage();

// Receives a packet that the receiver may or may not send: on serial
// receive(link, 0, timeoutSeconds); on USB the end of the receiver's data is
// no error and shows nothing (other USB failures still do).
int receiveOptional(Packet& packet, const Link& link, double timeoutSeconds);

// Sends ACK (id 6, size 2, data {ackedId, 0}) with reportErrors 1.
int sendAck(const Link& link, uint8_t ackedId);

// The opening exchange: up to `attempts` times send the packet (reportErrors
// 0); on a link without acknowledgements a successful send completes it,
// otherwise pause settleMs and wait 5.0 s for an ACK. Between attempts: pump
// events, pause 1000 ms. Returns 1 when the opening is complete. Shows
// nothing: the caller shows "Fehler beim Aufbau der Verbindung zum
// GPS-Gerät." when it fails.
int openingExchange(const Link& link, Packet& packet, int attempts, int settleMs);
