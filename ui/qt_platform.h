#pragma once
// The Qt implementation of the core's platform table.

#include <string>

#include "platform/platform.h"

#include <QStringList>
class QString;
class QWidget;

namespace ui {

// The table of this front end (installed by installQtPlatform()).
const Platform& qtPlatform();
void installQtPlatform();

// The shared file dialogs. fileName: the preset (a pattern such as "*.mif"
// or a previous name) on the way in, the chosen full path on the way out.
bool chooseFileToOpen(QWidget* owner, const QString& title, FileFilter filter, std::string& fileName);
bool chooseFileToSave(QWidget* owner, const QString& title, FileFilter filter, const QString& defaultExtension,
                      std::string& fileName);

// The patterns the dialogs match with, and the descriptions they show.
QStringList nameFilters(FileFilter filter);
QStringList filterDescriptions(FileFilter filter);

}  // namespace ui
