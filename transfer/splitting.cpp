// Splitting of over-long routes and track logs, and the route/track id dialog.

#include "transfer/splitting.h"

#include <cstring>
#include <string>

#include "app/platform.h"
#include "app/settings.h"
#include "transfer/point_table.h"

bool startsNewGroup(int number, const char* name, int currentNumber, const char* currentName) {
    if (number != currentNumber) return true;
    return name[0] != '\0' && strcmp(name, currentName) != 0;
}

int countRouteOrTrackGroups() {
    if (pointTable.count == 0) return 0;
    const PointRecord* records = pointTable.records;
    int groups = 1;
    int currentNumber = records[0].NumberOfRouteOrTrack;
    const char* currentName = records[0].NameOfRouteOrTrack;
    for (int i = 1; i < pointTable.count; ++i) {
        if (startsNewGroup(records[i].NumberOfRouteOrTrack, records[i].NameOfRouteOrTrack, currentNumber,
                           currentName)) {
            ++groups;
            currentNumber = records[i].NumberOfRouteOrTrack;
            currentName = records[i].NameOfRouteOrTrack;
        }
    }
    return groups;
}

namespace {

bool limitExceeded(int limit) {
    if (pointTable.count == 0) return false;
    const PointRecord* records = pointTable.records;
    int currentNumber = records[0].NumberOfRouteOrTrack;
    const char* currentName = records[0].NameOfRouteOrTrack;
    int count = 0;
    for (int i = 0; i < pointTable.count; ++i) {
        if (startsNewGroup(records[i].NumberOfRouteOrTrack, records[i].NameOfRouteOrTrack, currentNumber,
                           currentName)) {
            currentNumber = records[i].NumberOfRouteOrTrack;
            currentName = records[i].NameOfRouteOrTrack;
            count = 0;
        }
        ++count;
        if (count > limit) return true;
    }
    return false;
}

// The name of the next part: "_B", "_C" ... appended or over the last two characters.
void markNextPart(char (&outputName)[kNameSize], int partNumber) {
    if (strcmp(outputName, "ACTIVE LOG") == 0) strcpy(outputName, "ACTLG");
    size_t length = strlen(outputName);
    if (length == 0) return;
    const char letter = static_cast<char>('A' + partNumber);
    if (partNumber == 1 && length <= 48) {
        outputName[length] = '_';
        outputName[length + 1] = letter;
        outputName[length + 2] = '\0';
    } else if (length >= 2) {
        outputName[length - 2] = '_';
        outputName[length - 1] = letter;
    }
}

}  // namespace

int splitRoutesAndTracks(int transferKind, bool checkOnly) {
    const int limit = transferKind == 6 ? settings.maxTrackPoints : settings.maxRoutePoints;
    if (!limitExceeded(limit)) return 0;
    if (checkOnly) return 1;

    PointRecord* records = pointTable.records;
    int currentNumber = records[0].NumberOfRouteOrTrack;
    char currentName[kNameSize];
    copyName(currentName, records[0].NameOfRouteOrTrack);
    char outputName[kNameSize];
    copyName(outputName, records[0].NameOfRouteOrTrack);
    int groupNumber = 1;
    int partNumber = 1;
    int count = 0;
    for (int i = 0; i < pointTable.count; ++i) {
        PointRecord& record = records[i];
        if (startsNewGroup(record.NumberOfRouteOrTrack, record.NameOfRouteOrTrack, currentNumber, currentName)) {
            currentNumber = record.NumberOfRouteOrTrack;
            copyName(currentName, record.NameOfRouteOrTrack);
            copyName(outputName, record.NameOfRouteOrTrack);
            ++groupNumber;
            partNumber = 1;
            count = 1;
        } else {
            ++count;
        }
        if (count > limit) {
            markNextPart(outputName, partNumber);
            ++groupNumber;
            count = 1;
            record.NewSegment = 1;
            ++partNumber;
        }
        record.NumberOfRouteOrTrack = groupNumber;
        record.NumberOfPoint = count;
        copyName(record.NameOfRouteOrTrack, outputName);
    }
    showBox("Wegmate -- Grenzwertüberschreitung",
            "Die Zahl von Punkten in Routen oder Track-Auf- \nzeichnungen hat den Maximalwert überschritten! "
            "\n(Vergleiche 'Einstellungen') Daher wurden die \nbetreffenden Routen oder Track-Aufzeichnungen "
            "\naufgeteilt und neu durchnummeriert. ",
            BoxIcon::Information);
    return 1;
}

int runRouteTrackNameDialog(char* buffer) {
    const bool numberMode = buffer[0] == '0';
    const RouteTrackIdDialog dialog{
        " Wegmate -- Routen-/Track-ID",
        numberMode
            ? "Sofern Ihr GPS-Gerät mehrere Routen/Tracks speichern kann, können Sie hier eine Nummer "
              "eingeben, unter der eine einzelne Route bzw. ein einzelner Track mit allen Daten der "
              "Eingabedatei im Gerät gespeichert werden soll. So kann gegebenenfalls das Überschreiben "
              "vorhandener Routen- oder Track-Daten vermieden werden."
            : "Sofern Ihr GPS-Gerät mehrere Routen/Tracks speichern kann, können Sie hier einen Namen "
              "eingeben, unter der eine einzelne Route bzw. ein einzelner Track mit allen Daten der "
              "Eingabedatei im Gerät gespeichert werden soll. So kann gegebenenfalls das Überschreiben "
              "vorhandener Routen- oder Track-Daten vermieden werden.",
        numberMode ? 3 : 50,
        numberMode,
    };
    std::string entry(buffer, strnlen(buffer, kNameSize - 1));
    if (!platform().routeTrackIdDialog(dialog, entry)) {
        buffer[0] = '\0';
        return 0;
    }
    const size_t length = entry.size() < static_cast<size_t>(kNameSize - 1) ? entry.size() : kNameSize - 1;
    memcpy(buffer, entry.data(), length);
    buffer[length] = '\0';
    return 1;
}
