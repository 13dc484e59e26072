// The items of a point table and the choice of some of them.

#include "model/content.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "model/splitting.h"
#include "platform/platform.h"

std::string transferSelection;

namespace {

constexpr double kEarthRadiusKm = 6371.0088;  // the mean radius

bool isWaypointRecord(const PointRecord& record, TransferKind transferKind) {
    return transferKind != TransferKind::Tracks && record.NumberOfRouteOrTrack == 0;
}

// Adds a record to the item; previous is the item's last valid point, none
// after a segment gap.
void addPoint(ContentItem& item, const PointRecord& record, const PointRecord*& previous) {
    item.recordCount++;
    if (item.recordCount > 1 && record.NewSegment) previous = nullptr;
    if (!isValidPosition(record)) return;
    item.pointCount++;
    if (item.startTime == 0 && record.Time != 0) item.startTime = record.Time;
    if (previous)
        item.lengthKm += distanceKm(previous->Latitude, previous->Longitude, record.Latitude, record.Longitude);
    previous = &record;
}

std::string trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

const char* itemKindName(ItemKind kind) {
    switch (kind) {
        case ItemKind::Waypoint: return "Wegpunkt";
        case ItemKind::Route: return "Route";
        case ItemKind::Track: return "Track";
    }
    return "";
}

double distanceKm(double lat1, double lon1, double lat2, double lon2) {
    const double toRadians = M_PI / 180.0;
    const double dLat = (lat2 - lat1) * toRadians;
    const double dLon = (lon2 - lon1) * toRadians;
    const double a = std::sin(dLat / 2) * std::sin(dLat / 2) +
                     std::cos(lat1 * toRadians) * std::cos(lat2 * toRadians) * std::sin(dLon / 2) * std::sin(dLon / 2);
    return 2 * kEarthRadiusKm * std::asin(std::min(1.0, std::sqrt(a)));
}

std::vector<ContentItem> listContent(const PointTable& table, TransferKind transferKind) {
    std::vector<ContentItem> items;
    const PointRecord* previous = nullptr;
    ContentItem* group = nullptr;  // the open route or track
    for (int i = 0; i < table.count; i++) {
        const PointRecord& record = table.records[i];
        if (isWaypointRecord(record, transferKind)) {
            group = nullptr;
            ContentItem item{ItemKind::Waypoint, 0, i, 0, 0, record.NameOfPoint, record.HasSymbol ? record.Symbol : -1,
                             0, 0.0};
            previous = nullptr;
            addPoint(item, record, previous);
            items.push_back(item);
            continue;
        }
        const PointRecord& first = group ? table.records[group->firstRecord] : record;
        if (!group || startsNewGroup(record.NumberOfRouteOrTrack, record.NameOfRouteOrTrack,
                                     first.NumberOfRouteOrTrack, first.NameOfRouteOrTrack)) {
            const ItemKind kind = transferKind == TransferKind::Tracks ? ItemKind::Track : ItemKind::Route;
            items.push_back(ContentItem{kind, 0, i, 0, 0, record.NameOfRouteOrTrack, -1, 0, 0.0});
            group = &items.back();
            previous = nullptr;
        }
        addPoint(*group, record, previous);
    }
    for (size_t i = 0; i < items.size(); i++) {
        items[i].number = (int)i + 1;
        items[i].name = trimmed(items[i].name);
    }
    return items;
}

std::vector<std::string> selectionEntries(const std::string& selection) {
    std::vector<std::string> entries;
    size_t start = 0;
    while (start <= selection.size()) {
        size_t end = selection.find(',', start);
        if (end == std::string::npos) end = selection.size();
        const std::string entry = trimmed(selection.substr(start, end - start));
        if (!entry.empty()) entries.push_back(entry);
        start = end + 1;
    }
    return entries;
}

bool itemSelected(const ContentItem& item, int number, const std::vector<std::string>& entries,
                  std::vector<bool>& used) {
    used.resize(entries.size(), false);
    bool selected = false;
    for (size_t e = 0; e < entries.size(); e++) {
        char* end = nullptr;
        const long value = std::strtol(entries[e].c_str(), &end, 10);
        const bool isNumber = *end == '\0';
        if ((isNumber && value == number) || (!isNumber && entries[e] == item.name)) {
            used[e] = true;
            selected = true;
        }
    }
    return selected;
}

bool resolveSelection(const std::vector<ContentItem>& items, const std::string& selection, std::vector<bool>& chosen,
                      std::string& error) {
    const std::vector<std::string> entries = selectionEntries(selection);
    std::vector<bool> used(entries.size(), false);
    chosen.assign(items.size(), false);
    for (size_t i = 0; i < items.size(); i++) chosen[i] = itemSelected(items[i], items[i].number, entries, used);
    for (size_t e = 0; e < entries.size(); e++) {
        if (used[e]) continue;
        error = entries[e];
        return false;
    }
    return true;
}

namespace {

void showNoSuchItem(const std::string& entry) {
    const std::string text = "Die Auswahl \"" + entry + "\" bezeichnet keinen Eintrag.";
    showError(text.c_str());
}

}  // namespace

bool reportUnusedEntry(const std::vector<std::string>& entries, const std::vector<bool>& used) {
    for (size_t e = 0; e < entries.size(); e++) {
        if (e < used.size() && used[e]) continue;
        showNoSuchItem(entries[e]);
        return false;
    }
    return true;
}

int keepChosenItems(PointTable& table, const std::vector<ContentItem>& items, const std::vector<bool>& chosen) {
    int kept = 0;
    for (size_t i = 0; i < items.size(); i++) {
        if (!chosen[i]) continue;
        const ContentItem& item = items[i];
        for (int r = 0; r < item.recordCount; r++) {
            // Moving down only: kept never passes the record read.
            if (kept != item.firstRecord + r) table.records[kept] = table.records[item.firstRecord + r];
            if (r == 0) table.records[kept].NewSegment = 1;
            kept++;
        }
    }
    table.count = kept;
    return kept;
}

bool applySelection(TransferKind transferKind, const std::string& selection) {
    if (selection.empty()) return true;
    const std::vector<ContentItem> items = listContent(pointTable, transferKind);
    std::vector<bool> chosen;
    std::string unknown;
    if (!resolveSelection(items, selection, chosen, unknown)) {
        showNoSuchItem(unknown);
        return false;
    }
    keepChosenItems(pointTable, items, chosen);
    return true;
}
