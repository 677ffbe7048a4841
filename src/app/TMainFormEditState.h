#pragma once

// What the main window's editing aids keep between events: the undo history, the recovery
// writer, the recent-file lists, the picking of two points for the resolution. Only the files
// of the main window that build these aids include this.

#include "app/EditPrompts.h"
#include "app/RecentFiles.h"
#include "app/ScaleFromTwoPoints.h"
#include "app/TMainForm.h"
#include "document/RecoveryWriter.h"
#include "document/UndoHistory.h"
#include "i18n/Translator.h"

#include <QElapsedTimer>
#include <QPoint>
#include <QString>
#include <QTimer>
#include <vector>

class QAction;
class QRubberBand;
class QSpinBox;

namespace editaids {

inline constexpr int DefaultRecoveryIntervalMs = 30 * 1000;
inline constexpr const char *RecoveryFile = "recovery.lvx";
inline constexpr const char *LastSaveKey = "Recovery/LastSave";

// Texts shown only in dialogs; they are looked up once at the first showing, so that one run
// in another language puts them in the translation table like every caption.
inline constexpr const char *ScaleCaption = "Maßstab aus zwei Punkten";
inline constexpr const char *ScaleLabel = "Abstand der beiden Punkte in mm:";
inline constexpr const char *ScaleSamePoint = "Die beiden Punkte liegen aufeinander.";
inline constexpr const char *RecoveryCaption = "Wiederherstellung";
inline constexpr const char *RecoveryText =
    "Eine Zeichnung wurde nicht gespeichert, als das Programm zuletzt endete. Soll sie "
    "wiederhergestellt werden?";
inline constexpr const char *RestoreButton = "Wiederherstellen";
inline constexpr const char *DiscardButton = "Verwerfen";

inline QString tr8(const char *text)
{
    return translateText(QString::fromUtf8(text));
}

} // namespace editaids

// Points or a rectangle picked in the drawing area for an operation on the picture.
struct PicturePick
{
    enum Mode { None, Straighten, Crop, Perspective };
    Mode mode = None;
    std::vector<TPointD> points;
    QPoint anchor; // where the crop rectangle was started, in drawing-area pixels
    QRubberBand *band = nullptr; // the crop rectangle on the screen, owned by the drawing area
};

struct TMainForm::EditState
{
    UndoHistory history;
    std::uint64_t savedId = 0;
    RecoveryWriter recovery;
    QTimer recoveryTimer;
    QElapsedTimer sinceRecoveryWrite;
    int recoveryIntervalMs = editaids::DefaultRecoveryIntervalMs;
    // Set while a recovery file is being opened, which is no opening of a saved project.
    bool restoring = false;
    // Whether the recovery file is this run's: one left by an earlier run stays until it has
    // been offered.
    bool ownsRecoveryFile = false;
    RecentFiles recentProjects { QStringLiteral("RecentFiles/Projects") };
    RecentFiles recentPictures { QStringLiteral("RecentFiles/Pictures") };
    EditPrompts prompts = EditPrompts::standard();
    ScaleFromTwoPoints scale;
    QString baseTitle;
    QAction *undo = nullptr;
    QAction *redo = nullptr;
    QSpinBox *fade = nullptr;
    PicturePick pick;
    // The black-and-white view and the serial of the picture it was made from.
    QAction *blackWhite = nullptr;
    Dib threshold;
    std::uint64_t thresholdOf = 0;
    int thresholdLevel = -1; // the grey level it was made with, -1 for Otsu's
};
