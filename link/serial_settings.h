#pragma once
// The serial line settings, built from a text such as
// "baud=9600 parity=N data=8 stop=1".

struct termios;

struct SerialSettings {
    int baud;
    char parity;  // 'N', 'E', 'O'
    int dataBits;
    int stopBits;
};

// 1 when the text names valid settings (keys baud, parity, data, stop).
int parseSerialSettings(const char* text, SerialSettings& out);
// Raw 8N1-style termios without flow control; 0 for an unsupported baud rate.
int serialSettingsToTermios(const SerialSettings& settings, struct termios& tio);
// 1 while a serial port is open.
int serialPortOpen();
