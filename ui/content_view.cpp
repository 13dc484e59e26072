#include "ui/content_view.h"

#include <QHeaderView>
#include <QLabel>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "model/times.h"
#include "platform/text_encoding.h"
#include "ui/map_sketch.h"

namespace ui {

namespace {

enum Column { kKindColumn, kNumberColumn, kNameColumn, kSymbolColumn, kPointsColumn, kStartColumn, kLengthColumn };

// Item data: the sketch index of a row.
constexpr int kSketchIndexRole = Qt::UserRole + 1;

const char* sectionTitle(TransferKind kind) {
    return kind == TransferKind::Tracks ? "Track-Aufzeichnungen" : "Wegpunkte und Routen";
}

}  // namespace

ContentView::ContentView(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    caption_ = new QLabel(QString::fromUtf8("Inhalt: noch nichts gelesen"), this);
    caption_->setObjectName(QStringLiteral("contentCaption"));
    layout->addWidget(caption_);

    auto* splitter = new QSplitter(Qt::Horizontal, this);
    list_ = new QTreeWidget(splitter);
    list_->setObjectName(QStringLiteral("contentList"));
    list_->setAccessibleName(QStringLiteral("Inhalt"));
    list_->setHeaderLabels({QStringLiteral("Art"), QStringLiteral("Nr."), QStringLiteral("Name"),
                            QStringLiteral("Symbol"), QStringLiteral("Punkte"), QStringLiteral("Beginn"),
                            QString::fromUtf8("Länge (km)")});
    list_->setRootIsDecorated(true);
    list_->setUniformRowHeights(true);
    list_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    sketch_ = new MapSketch(splitter);
    sketch_->setObjectName(QStringLiteral("contentSketch"));
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 1);
    layout->addWidget(splitter, 1);
    caption_->setBuddy(list_);

    connect(list_, &QTreeWidget::currentItemChanged, this, [this] { highlightCurrent(); });
}

void ContentView::clear(ContentSource source, const QString& description, const std::string& file) {
    source_ = source;
    file_ = file;
    sections_.clear();
    list_->clear();
    caption_->setText(description);
    rebuildSketch();
}

ContentView::Section* ContentView::section(TransferKind kind) {
    for (Section& s : sections_)
        if (s.kind == kind) return &s;
    return nullptr;
}

const ContentView::Section* ContentView::section(TransferKind kind) const {
    for (const Section& s : sections_)
        if (s.kind == kind) return &s;
    return nullptr;
}

bool ContentView::hasSection(TransferKind kind) const { return section(kind) != nullptr; }

TransferKind ContentView::currentKind() const {
    if (QTreeWidgetItem* current = list_->currentItem()) {
        QTreeWidgetItem* node = current->parent() ? current->parent() : current;
        for (const Section& s : sections_)
            if (s.node == node) return s.kind;
    }
    for (const Section& s : sections_)
        if (!selection(s.kind).empty()) return s.kind;
    return sections_.empty() ? TransferKind::Waypoints : sections_.front().kind;
}

void ContentView::showSection(TransferKind kind, const PointTable& table) {
    Section* s = section(kind);
    if (!s) {
        sections_.push_back(Section{kind, {}, {}, nullptr});
        s = &sections_.back();
        s->node = new QTreeWidgetItem(list_, {QString::fromUtf8(sectionTitle(kind))});
        s->node->setFirstColumnSpanned(true);
        s->node->setFlags(Qt::ItemIsEnabled);
    }
    s->records.assign(table.records, table.records + table.count);
    s->items = listContent(table, kind);
    qDeleteAll(s->node->takeChildren());
    for (const ContentItem& item : s->items) {
        char time[24] = "";
        formatTime(item.startTime, time);
        auto* row = new QTreeWidgetItem(
            s->node, {QString::fromUtf8(itemKindName(item.kind)), QString::number(item.number),
                      QString::fromStdString(cp1252ToUtf8(item.name)),
                      item.symbol >= 0 ? QString::number(item.symbol) : QString(), QString::number(item.pointCount),
                      QString::fromUtf8(time), QString::number(item.lengthKm, 'f', 2)});
        row->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        row->setCheckState(kKindColumn, Qt::Unchecked);
        for (int column : {kNumberColumn, kPointsColumn, kLengthColumn})
            row->setTextAlignment(column, Qt::AlignRight | Qt::AlignVCenter);
    }
    s->node->setText(kKindColumn,
                     QString::fromUtf8("%1 (%2)").arg(QString::fromUtf8(sectionTitle(kind))).arg(s->items.size()));
    s->node->setExpanded(true);
    rebuildSketch();
}

std::string ContentView::selection(TransferKind kind) const {
    const Section* s = section(kind);
    std::string numbers;
    if (!s) return numbers;
    for (int i = 0; i < s->node->childCount(); i++) {
        if (s->node->child(i)->checkState(kKindColumn) != Qt::Checked) continue;
        if (!numbers.empty()) numbers += ',';
        numbers += std::to_string(s->items[i].number);
    }
    return numbers;
}

void ContentView::restoreSection(TransferKind kind, PointTable& table) const {
    const Section* s = section(kind);
    table.reset();
    if (!s) return;
    for (const PointRecord& record : s->records) table.records[table.count++] = record;
}

void ContentView::rebuildSketch() {
    std::vector<SketchItem> items;
    for (const Section& s : sections_) {
        for (int i = 0; i < (int)s.items.size(); i++) {
            const ContentItem& item = s.items[i];
            SketchItem sketchItem{item.kind, {}};
            for (int r = 0; r < item.recordCount; r++) {
                const PointRecord& record = s.records[item.firstRecord + r];
                if (sketchItem.segments.empty() || (r > 0 && record.NewSegment)) sketchItem.segments.emplace_back();
                if (isValidPosition(record))
                    sketchItem.segments.back().emplace_back(record.Longitude, record.Latitude);
            }
            s.node->child(i)->setData(kKindColumn, kSketchIndexRole, (int)items.size());
            items.push_back(std::move(sketchItem));
        }
    }
    sketch_->setItems(std::move(items));
}

void ContentView::highlightCurrent() {
    QTreeWidgetItem* current = list_->currentItem();
    const QVariant index = current ? current->data(kKindColumn, kSketchIndexRole) : QVariant();
    sketch_->setHighlighted(index.isValid() ? index.toInt() : -1);
}

}  // namespace ui
