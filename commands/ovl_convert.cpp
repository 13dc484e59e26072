// "&OVL-Umwandlung  ": reads a binary overlay of TOP50 version 3 or 4 and
// writes it again in the program's own form, with the four-line object text
// on every object.

#include "commands/ovl_convert.h"

#include <string>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/platform.h"
#include "formats/file_formats.h"
#include "formats/format_helpers.h"
#include "formats/ovl_binary.h"
#include "model/point_table.h"
#include "transfers/messages.h"

namespace {

const char kQuestionTitle[] = " Wegmate  --  OVL-3/4-Konvertierung";
const char kQuestion[] =
    "Diese Funktion wandelt eine Datei im binären OVL-3/4-Format \n- erzeugt von der TOP50-Software in der Version "
    "3 oder 4 - \nin eine Form um, in der direkt in die OVL-Datei integrierte \nsogenannte \"Objektdaten\" zu jedem "
    "Punkt bzw. jeder Linie \nals vierzeiliger Text eingegeben werden können. Wichtig für \nPunkt- und "
    "Routenbezeichnungen usw.  (Siehe auch Hilfe-Text.) \nNach der Dateiumwandlung sind die Attributdaten über "
    "\n\"Objektdaten\" (V3) bzw. \"Multimedia ...\" (V4) im Kontext- \nmenü eines Graphikobjekts abrufbar und "
    "bearbeitbar. ";
const char kOpenTitle[] = "Wegmate  --  Zu konvertierende OVL-Datei öffnen";
const char kSaveTitle[] = "Wegmate  --  Umgewandelte OVL-Datei schreiben";
const char kMsgNoObject[] = "OVL-Datei enthält kein gültiges Punkt- oder Linien-Objekt!";
const char kMsgWritten[] = "Neue OVL-Datei mit editierbaren \n\"Objektdaten\" wurde geschrieben. ";
const char kMsgWriteFailed[] = "Fehler beim Öffnen oder Schreiben der Ausgabedatei.";

}  // namespace

void convertOvlFile() {
    if (!askOkCancel(QuestionId::ConvertOverlay, kQuestionTitle, kQuestion)) return;
    const FileFormat& overlay = fileFormat(OvlBinary);
    std::string fileName = overlay.pattern;
    if (!platform().chooseFileToOpen(kOpenTitle, overlay.filter, fileName)) return;

    int objectKindFound = 0;
    bool hasNumbers = false, hasNames = false;
    std::vector<OvlObject> objects;
    if (!readOvlBinaryFile(fileName.c_str(), TransferKind::OvlConversion, objectKindFound, hasNumbers, hasNames,
                           &objects))
        return;
    warnFieldsLeftEmpty(pointTable.fieldsLeftEmpty);
    // Every object keeps its kind. Objects whose positions are all invalid,
    // or lines shorter than two points, would leave an overlay without
    // objects.
    bool writable = false;
    for (const OvlObject& object : objects) {
        int valid = 0;
        for (int i = object.first; i < object.first + object.count; i++)
            valid += isValidPosition(pointTable.records[i]) ? 1 : 0;
        if (valid >= (object.kind == LineObjects ? 2 : 1)) writable = true;
    }
    if (!writable) {
        showError(kMsgNoObject);
        return;
    }

    if (!platform().chooseFileToSave(kSaveTitle, overlay.filter, overlay.extension, fileName)) return;
    if (writeOvlBinaryObjects(fileName.c_str(), objects))
        showBox("Wegmate", kMsgWritten, BoxIcon::Information);
    else
        showError(atomicRefusal() ? atomicRefusal() : kMsgWriteFailed);
}
