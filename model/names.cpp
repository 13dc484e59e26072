// Automatic point names, the initials dialog and unique waypoint names.

#include "model/names.h"

#include <cstdio>
#include <cstring>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "platform/platform.h"
#include "model/helpers.h"
#include "model/point_table.h"

std::string makeAutomaticPointName(const NamingState& naming, int number) {
    char text[32];
    snprintf(text, sizeof text, "%c%c%04d", naming.initials[0], naming.initials[1], number);
    return text;
}

bool isDuplicatePointName(int index) {
    const char* name = pointTable.records[index].NameOfPoint;
    for (int i = 0; i < index; ++i) {
        if (strcmp(pointTable.records[i].NameOfPoint, name) == 0) return true;
    }
    return false;
}

namespace {

const std::vector<const char*> kInitialsLines = {
    "Falls in der einzulesenden Datei die Wegpunkte nicht mit Namen",
    "versehen wurden oder werden können (insbes. ASCII-OVL-Dateien),",
    "so werden eindeutige Bezeichnungen automatisch vom Programm ",
    "erzeugt. Um dabei eventuell bereits im GPS-Gerät gespeicherte",
    "Wegpunkte mit gleichem Namen nicht zu überschreiben, können ",
    "Sie hier die ersten beiden Zeichen dieser automatischen     ",
    "Punktbezeichnungen definieren.                              ",
    "Verwenden Sie dazu Zeichen zwischen '0' und '9' oder 'A' und 'Z'.",
};

inline bool isInitialChar(char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }
inline char toCapital(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

const char* checkNameInitials(const std::string& entry) {
    if (entry.size() == 2 && isInitialChar(toCapital(entry[0])) && isInitialChar(toCapital(entry[1]))) {
        return nullptr;
    }
    return "Als Eingabe werden hier genau zwei Zeichen \naus den Bereichen 'A' - 'Z' oder '0' - '9' \nerwartet!";
}

void askNameInitials(NamingState& naming) {
    const InitialsDialog dialog{
        " Wegmate -- Wegpunktbezeichnungen",
        &kInitialsLines,
        "Anfangszeichen automatischer Punktnamen ",
        2,
        checkNameInitials,
    };
    std::string entry = naming.initials;
    // The dialog has no cancel; a front end that still ends it without an
    // accepted entry leaves the initials as they were.
    if (!platform().initialsDialog(dialog, entry)) return;
    if (checkNameInitials(entry) != nullptr) return;
    naming.initials[0] = toCapital(entry[0]);
    naming.initials[1] = toCapital(entry[1]);
    naming.initials[2] = '\0';
}

void askNameInitialsOnce(NamingState& naming) {
    if (naming.initialsAsked) return;
    askNameInitials(naming);
    naming.initialsAsked = true;
}

namespace {

// Names of the records already settled, and per renaming pass and prefix the
// first number not yet known to be taken. Names only ever join the set, so a
// number once found taken stays taken.
struct NameIndex {
    std::unordered_set<std::string> taken;
    std::unordered_map<std::string, int> nextNumber[2];
};

// Writes prefix + number ("%02d" or "%04d") into the name.
void writeNumbered(char* name, const std::string& prefix, int digits, int q) {
    memcpy(name, prefix.data(), prefix.size());
    snprintf(name + prefix.size(), 8, digits == 2 ? "%02d" : "%04d", q);
}

// One renaming pass: the first q from 1 to last whose name is free, or the
// name with q = last when all are taken. Returns true when a free one was found.
bool renamePass(NameIndex& index, int pass, char* name, size_t prefixLength, int digits, int last) {
    const std::string prefix(name, prefixLength);
    int& q = index.nextNumber[pass].try_emplace(prefix, 1).first->second;
    while (q <= last) {
        writeNumbered(name, prefix, digits, q);
        if (!index.taken.count(name)) return true;
        ++q;
    }
    writeNumbered(name, prefix, digits, last);
    return false;
}

}  // namespace

void makePointNamesUnique(NamingState& naming, int identifierLength) {
    if (identifierLength > kNameSize - 1) identifierLength = kNameSize - 1;
    NameIndex index;
    index.taken.reserve(static_cast<size_t>(pointTable.count) * 2 + 16);
    for (int i = 0; i < pointTable.count; ++i) {
        char* name = pointTable.records[i].NameOfPoint;
        trimLine(name);
        if (name[0] == '\0') {
            askNameInitialsOnce(naming);
            copyName(pointTable.records[i].NameOfPoint,
                     makeAutomaticPointName(naming, naming.autoNameCounter).c_str());
            ++naming.autoNameCounter;
        }
        // The name as the receiver keeps it: cut to its identifier length,
        // without the blanks the cut leaves at the end.
        if (identifierLength >= 0 && strlen(name) > static_cast<size_t>(identifierLength)) {
            name[identifierLength] = '\0';
            trimLine(name);
        }
        const size_t length = strlen(name);
        if (index.taken.count(name)) {
            naming.namesChanged = true;
            // First pass: two digits after the first four characters (or
            // after the whole, shorter name).
            if (!renamePass(index, 0, name, length > 4 ? 4 : length, 2, 99)) {
                // Second pass: four digits after the first two characters.
                renamePass(index, 1, name, length > 2 ? 2 : length, 4, 9999);
            }
        }
        index.taken.insert(name);
    }
}
