#pragma once
// The content view ("Inhalt"): the waypoints, routes and track logs of a
// file or of what the receiver sent, each with a check box, beside a sketch
// that draws them.

#include <string>
#include <vector>

#include <QString>
#include <QWidget>

#include "model/content.h"
#include "model/point_table.h"

class QLabel;
class QTreeWidget;
class QTreeWidgetItem;

namespace ui {

class MapSketch;

// Where the content shown came from; ticked items apply to the transfers
// that move the same content again.
enum class ContentSource { None, File, Receiver, Sent };

class ContentView : public QWidget {
    Q_OBJECT
  public:
    explicit ContentView(QWidget* parent = nullptr);

    // Clears the view and names the source ("Datei: …", "Vom Gerät …").
    void clear(ContentSource source, const QString& description, const std::string& file = {});
    // Shows the items of the table as the section of the transfer kind
    // (waypoints and routes, or track logs); the records are kept for
    // saveSection().
    void showSection(TransferKind kind, const PointTable& table);

    ContentSource source() const { return source_; }
    const std::string& sourceFile() const { return file_; }
    bool hasSection(TransferKind kind) const;
    // The section of the current row, else the first with a ticked item,
    // else the first shown.
    TransferKind currentKind() const;
    // The numbers of the ticked items of the section ("1,3"), empty when
    // none is ticked: then a transfer moves everything.
    std::string selection(TransferKind kind) const;
    // Puts the section's records back into the point table.
    void restoreSection(TransferKind kind, PointTable& table) const;

    QTreeWidget* list() const { return list_; }
    MapSketch* sketch() const { return sketch_; }
    QLabel* caption() const { return caption_; }

  private:
    struct Section {
        TransferKind kind;
        std::vector<PointRecord> records;
        std::vector<ContentItem> items;
        QTreeWidgetItem* node = nullptr;
    };
    Section* section(TransferKind kind);
    const Section* section(TransferKind kind) const;
    void rebuildSketch();
    void highlightCurrent();

    ContentSource source_ = ContentSource::None;
    std::string file_;
    std::vector<Section> sections_;
    QLabel* caption_ = nullptr;
    QTreeWidget* list_ = nullptr;
    MapSketch* sketch_ = nullptr;
};

}  // namespace ui
