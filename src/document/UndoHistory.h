#pragma once

#include "document/ElementIndex.h"
#include "document/ElementList.h"
#include "document/ElementSnapshot.h"
#include "raster/DibRec.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

// The document as the undo history sees it: the element list, the picture and the two
// settings that apply to the whole drawing. The caller owns all of it; undo and redo change
// it in place.
struct UndoDocument
{
    TElementList &elements;
    Dib &picture;
    std::uint32_t &penColor; // 0x00BBGGRR
    double &lineWidth;
    // The resolution of the DXF exports in dots per inch, which belongs to the picture; a
    // window that keeps none leaves it null.
    double *resolution = nullptr;
    // The window's index over the elements, told which records undo and redo replaced so that
    // it stays current without being built again; null when there is none.
    ElementIndex *index = nullptr;
};

// Undo and redo of completed changes. The window calls checkpoint() whenever a change of the
// document has completed; the history compares the document with the state it saw at the
// previous checkpoint and keeps only what differs: the changed run of element records before
// and after, the old picture when the picture was replaced, and the old and new pen colour
// and line width. So a step of a drawing of 100,000 elements usually costs a few hundred
// bytes, and a new scan costs the old picture once, never a copy of the whole document.
// A change that removed records all over the list (an area delete) is kept as the many small
// runs it consists of rather than as one run over nearly the whole list.
//
// The history holds at most maxSteps steps and, beyond the newest step, no more than
// maxBytes; the oldest steps go first.
class UndoHistory
{
public:
    static constexpr int DefaultMaxSteps = 100;
    static constexpr std::size_t DefaultMaxBytes = std::size_t { 200 } * 1024 * 1024;

    explicit UndoHistory(int maxSteps = DefaultMaxSteps, std::size_t maxBytes = DefaultMaxBytes);
    ~UndoHistory();
    UndoHistory(const UndoHistory &) = delete;
    UndoHistory &operator=(const UndoHistory &) = delete;

    // Pictures that the history lets go of are handed here instead of being released at once,
    // so that an owner still reading one (a background writer) can keep it until it is done.
    // Without a handler they are released on the spot.
    void setPictureReleaser(std::function<void(Dib &&)> releaser);

    // Forgets every step and takes the document as it stands as the state that the next
    // checkpoint compares with.
    void reset(const TElementList &elements, std::uint32_t penColor, double lineWidth);

    // The window calls this when it replaces the picture, with the picture it had. Only the
    // picture of the last checkpoint is needed to undo, so of several replacements between two
    // checkpoints the first picture is kept and the later ones are let go. `previousResolution`
    // is the resolution that belonged to it (0 when the window keeps none); undo brings it
    // back with the picture.
    void pictureReplaced(Dib previous, double previousResolution = 0);

    // Records everything that changed since the last checkpoint as one step and clears the
    // steps that could be redone. Changes of the selection flags and drag copies alone are not
    // a step. Returns whether a step was recorded.
    bool checkpoint(const TElementList &elements, std::uint32_t penColor, double lineWidth);

    bool canUndo() const { return !m_undo.empty(); }
    bool canRedo() const { return !m_redo.empty(); }
    int undoCount() const { return static_cast<int>(m_undo.size()); }
    int redoCount() const { return static_cast<int>(m_redo.size()); }

    // Takes the document back to the previous checkpoint, or forward again. The document must
    // stand as it did at the last checkpoint (the window takes one first). Returns false, with
    // the document and the history unchanged, when there is nothing to do or the element store
    // could not grow.
    bool undo(UndoDocument document);
    bool redo(UndoDocument document);

    // Bytes held by the steps, the old pictures included.
    std::size_t bytes() const { return m_bytes; }

    // Identifies the state of the document at the last checkpoint: equal values mean the same
    // drawing, so the window can tell whether the document differs from the last saved one.
    std::uint64_t stateId() const;

private:
    struct Step
    {
        std::uint64_t id = 0;
        // The runs of records that differ, ascending: `removed` records from `offset` on in
        // the older state gave way to `inserted` records in the newer one. The records of all
        // runs are kept one after another, the older ones in `before`, the newer in `after`.
        // A step of several runs has none that grows, so that undo and redo move the records
        // between them in one pass (see ElementRuns.cpp).
        std::vector<ElementReplacement> runs;
        std::vector<TDrawElement> before;
        std::vector<TDrawElement> after;
        // The picture that the document does not have at the moment: the older one while the
        // step can be undone, the newer one while it can be redone. Undo and redo exchange it.
        std::optional<Dib> picture;
        // The resolution belonging to `picture`, exchanged with it; 0 when none was recorded.
        double resolution = 0;
        std::uint32_t penBefore = 0;
        std::uint32_t penAfter = 0;
        double widthBefore = 0;
        double widthAfter = 0;
        std::size_t bytes = 0;

        bool widthOnly() const;
        void measure();
    };

    enum class Direction { Back, Forward };
    bool apply(Step &step, Direction direction, UndoDocument &document);
    void recordElements(Step &step, const TElementList &elements, std::int32_t prefix,
        std::int32_t oldLen, std::int32_t newLen);
    void dropOldest();
    void clearRedo();
    void release(Dib &&picture);
    void enforceLimits();

    int m_maxSteps;
    std::size_t m_maxBytes;
    std::deque<Step> m_undo;
    std::deque<Step> m_redo;
    std::size_t m_bytes = 0;
    std::uint64_t m_nextId = 1;
    // The id of the state at the bottom of the undo stack: 0 for the state at reset().
    std::uint64_t m_baseId = 0;
    std::function<void(Dib &&)> m_releaser;

    // The elements at the last checkpoint, kept compactly.
    ElementSnapshot m_elements;
    std::uint32_t m_penColor = 0;
    double m_lineWidth = 0;
    std::optional<Dib> m_replacedPicture;
    double m_replacedResolution = 0;
};

// Replaces `removeCount` records of the list from `offset` on by `insertCount` records, moving
// the records behind them once. Returns false, with the list unchanged, when the store could
// not grow.
bool replaceElementRange(TElementList &list, std::int32_t offset, std::int32_t removeCount,
    const TDrawElement *insert, std::int32_t insertCount);
