#pragma once

#include "document/ElementList.h"
#include "raster/DibRec.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

class QIODevice;

// The project file: element count, the element records byte for byte, the picture's header,
// colour table and bottom-up rows, the pen colour (0x00BBGGRR) and the line width. There is no
// signature or version, so a reader can only judge a file by whether its sizes fit together.

// Receives the progress in percent while the picture rows are read or written.
using ProjectProgress = std::function<void(int percent)>;

// Progress before stored row `row` of `rowCount`. A one-row picture reports 0 before its only
// row: nothing has been transferred yet, and the formula has no value there.
int projectRowProgress(int row, int rowCount);

// A whole document read from a project file, held apart from the open document until the read
// has succeeded. The records are read straight into an element store of their own, which the
// document can take over as it is (after binding its cursor).
struct ProjectContents
{
    std::unique_ptr<TElementList> elements = std::make_unique<TElementList>();
    Dib picture;
    std::uint32_t penColor = 0;
    double lineWidth = 0;
};

struct ProjectReadResult
{
    bool ok = false;
    QString reason; // why the file was refused, for logs and the converter; empty when ok
    // The element store could not grow to the count the file holds. The store has reported that
    // itself, so a caller shows no second message.
    bool outOfMemory = false;
    ProjectContents contents;
};

// Reads a project from `in`. Nothing is allocated before the sizes in the file have been
// checked against the bytes that are really there.
ProjectReadResult readProject(QIODevice &in, const ProjectProgress &progress = {});

// Writes a project to `out`; false when a write failed.
bool writeProject(QIODevice &out, const TElementList &elements, const TDibRec &picture,
    std::uint32_t penColor, double lineWidth, const ProjectProgress &progress = {});

// Opens `fileName` and reads it; a file that cannot be opened gives ok = false with
// `cannotOpen` set, so the caller can tell that apart from a damaged file.
struct ProjectLoad
{
    ProjectReadResult result;
    bool cannotOpen = false;
};
ProjectLoad loadProjectFile(const QString &fileName, const ProjectProgress &progress = {});

// Writes the project to a temporary file beside `fileName` and replaces the target only when
// everything was written, so a failure leaves any existing file as it was.
bool saveProjectFile(const QString &fileName, const TElementList &elements, const TDibRec &picture,
    std::uint32_t penColor, double lineWidth, const ProjectProgress &progress = {});

// Header size and colour count as the file stores them for a picture of `bitCount` bits:
// 40 + 4C and C when C = 2^bitCount (in 32-bit arithmetic) is at most 256, otherwise 40 and 0.
struct ProjectHeaderSize
{
    std::int32_t headerSize;
    std::int32_t colorCount;
};
ProjectHeaderSize projectHeaderSize(int bitCount);
