#pragma once
// The messages that the download, the upload and the conversion between two
// files share: one text in one place.

#include <cstdio>

#include "platform/platform.h"

inline constexpr const char* kConnectError = "Fehler beim Aufbau der Verbindung zum GPS-Gerät.";
inline constexpr const char* kNoAnswerError = "GPS-Gerät antwortet nicht.";
inline constexpr const char* kTransferError = "Übertragungsfehler.";
inline constexpr const char* kProtocolError =
    "Übertragungsfehler.\nStellen Sie sicher, dass das GPS-Gerät\n"
    "auf 'GARMIN' oder 'GRMN' als Daten-\naustauschprotokoll eingestellt ist.";
inline constexpr const char* kNoValidPositionError =
    "Kein einziger der eingelesenen Punkte hat, \ngültige Positionsdaten. Deshalb kann keine \n"
    "Ausgabedatei erzeugt werden. \n";
inline constexpr const char* kSomeInvalidError =
    "Einer oder mehrere der eingelesenen Punkte \nhaben keine gültigen Positionsdaten. Diese \n"
    "Punkte sind daher nicht in der Ausgabedatei \nenthalten.";
inline constexpr const char* kShortLineError =
    "Kann kein Linienobjekt aus einer Route, \neiner Track-Aufzeichnung oder einem Abschnitt \n"
    "einer Track-Aufz. mit weniger als 2 Punkten \nerzeugen. \n"
    "Einer oder mehrere Punkte werden verworfen.";
inline constexpr const char* kWriteError = "Fehler beim Öffnen oder Schreiben der Ausgabedatei.";
inline constexpr const char* kNothingLeftError =
    "Es bleibt nichts zum Schreiben übrig. Es wird keine \nAusgabedatei erzeugt.";
// Values of the file read that their fields could not hold (an altitude
// out of range, a date that does not exist, a symbol or display number too
// large): the fields stay empty, and one warning gives their number.
inline constexpr const char* kFieldsLeftEmptyWarning =
    "%d Angaben der eingelesenen Punkte (Höhe, Zeit, Symbol \noder Anzeige) sind ungültig und bleiben leer.";
inline constexpr const char* kFieldLeftEmptyWarning =
    "1 Angabe der eingelesenen Punkte (Höhe, Zeit, Symbol \noder Anzeige) ist ungültig und bleibt leer.";

// Points whose GPX symbol name Garmin's symbol table does not know: a file
// type other than GPX and the receiver take the default symbol for them.
inline constexpr const char* kUnknownSymbolsWarning =
    "%d Punkte haben einen unbekannten Symbolnamen und erhalten das Standardsymbol.";
inline constexpr const char* kUnknownSymbolWarning =
    "1 Punkt hat einen unbekannten Symbolnamen und erhält das Standardsymbol.";

inline void warnUnknownSymbolNames(int count) {
    if (count <= 0) return;
    char text[160];
    std::snprintf(text, sizeof text, count == 1 ? kUnknownSymbolWarning : kUnknownSymbolsWarning, count);
    showWarning(text);
}

inline void warnFieldsLeftEmpty(int count) {
    if (count <= 0) return;
    char text[160];
    std::snprintf(text, sizeof text, count == 1 ? kFieldLeftEmptyWarning : kFieldsLeftEmptyWarning, count);
    showWarning(text);
}
