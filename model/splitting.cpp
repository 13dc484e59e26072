// Splitting of over-long routes and track logs, and the route/track id dialog.

#include "model/splitting.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/platform.h"
#include "platform/settings.h"
#include "model/point_table.h"

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

// The letters of a part after the first: "B" .. "Z" for parts 1 to 25,
// then "AA" .. "ZZ", then "AAA" .., so that every part keeps a distinct name
// of capital letters.
std::string partLetters(int partNumber) {
    if (partNumber <= 25) return std::string(1, static_cast<char>('A' + partNumber));
    int rest = partNumber - 26;
    int width = 2;
    int span = 26 * 26;
    while (rest >= span) {
        rest -= span;
        ++width;
        span *= 26;
    }
    std::string letters(static_cast<size_t>(width), 'A');
    for (int i = width - 1; i >= 0; --i) {
        letters[static_cast<size_t>(i)] = static_cast<char>('A' + rest % 26);
        rest /= 26;
    }
    return letters;
}

// The name of the next part: the group's name with "_B", "_C" ... appended,
// or over its last characters when the name has no room for the mark.
void markNextPart(char (&outputName)[kNameSize], const char* groupName, int partNumber) {
    std::string base = strcmp(groupName, "ACTIVE LOG") == 0 ? "ACTLG" : groupName;
    if (base.empty()) return;
    const std::string mark = "_" + partLetters(partNumber);
    if (base.size() + mark.size() > static_cast<size_t>(kNameSize - 1))
        base.resize(base.size() > mark.size() ? base.size() - mark.size() : 0);
    copyName(outputName, (base + mark).c_str());
}

}  // namespace

int splitRoutesAndTracks(TransferKind transferKind, bool checkOnly) {
    const int limit = transferKind == TransferKind::Tracks ? settings.maxTrackPoints : settings.maxRoutePoints;
    if (!limitExceeded(limit)) return 0;
    if (checkOnly) return 1;

    PointRecord* records = pointTable.records;
    int currentNumber = records[0].NumberOfRouteOrTrack;
    char currentName[kNameSize];
    copyName(currentName, records[0].NameOfRouteOrTrack);
    char outputName[kNameSize];
    copyName(outputName, records[0].NameOfRouteOrTrack);
    char groupName[kNameSize];
    copyName(groupName, records[0].NameOfRouteOrTrack);
    int groupNumber = 1;
    int partNumber = 1;
    int count = 0;
    for (int i = 0; i < pointTable.count; ++i) {
        PointRecord& record = records[i];
        if (startsNewGroup(record.NumberOfRouteOrTrack, record.NameOfRouteOrTrack, currentNumber, currentName)) {
            currentNumber = record.NumberOfRouteOrTrack;
            copyName(currentName, record.NameOfRouteOrTrack);
            copyName(outputName, record.NameOfRouteOrTrack);
            copyName(groupName, record.NameOfRouteOrTrack);
            ++groupNumber;
            partNumber = 1;
            count = 1;
        } else {
            ++count;
        }
        if (count > limit) {
            markNextPart(outputName, groupName, partNumber);
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

const char* checkRouteTrackNumber(const std::string& entry) {
    // A negative number would stand for "no route header" further on.
    if (std::atoi(entry.c_str()) >= 0) return nullptr;
    return "Als Eingabe wird hier eine Nummer \naus dem Bereich 0 - 999 \nerwartet!";
}

int runRouteTrackNameDialog(char* buffer) {
    const bool numberMode = buffer[0] == '0';
    const RouteTrackIdDialog dialog{
        " Wegmate -- Routen-/Track-ID",
        numberMode ? "Sofern Ihr GPS-Gerät mehrere Routen/Tracks speichern kann, können Sie hier eine Nummer "
                     "eingeben, unter der eine einzelne Route bzw. ein einzelner Track mit allen Daten der "
                     "Eingabedatei im Gerät gespeichert werden soll. So kann gegebenenfalls das Überschreiben "
                     "vorhandener Routen- oder Track-Daten vermieden werden."
                   : "Sofern Ihr GPS-Gerät mehrere Routen/Tracks speichern kann, können Sie hier einen Namen "
                     "eingeben, unter der eine einzelne Route bzw. ein einzelner Track mit allen Daten der "
                     "Eingabedatei im Gerät gespeichert werden soll. So kann gegebenenfalls das Überschreiben "
                     "vorhandener Routen- oder Track-Daten vermieden werden.",
        numberMode ? 3 : 50,
        numberMode,
        numberMode ? checkRouteTrackNumber : nullptr,
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
