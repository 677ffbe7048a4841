#include "document/UndoHistory.h"

#include "document/ElementRuns.h"

#include <algorithm>
#include <cstring>
#include <future>
#include <system_error>
#include <utility>

namespace {

constexpr std::size_t RecordSize = sizeof(TDrawElement);
// A changed run shorter than this is kept whole: looking for the removals in it saves little.
constexpr std::int32_t LookForRemovalsFrom = 64;
// From this many records changed, undo and redo bring the history's copy and the window's index
// up to date on two threads.
constexpr std::int32_t InParallelFrom = 20000;

// The bytes of a record that make up the drawing: kind, chain position, the four points and
// the closing flag. The drag copies and selection flags are editing state.
bool sameDrawing(const TDrawElement &a, const TDrawElement &b)
{
    return std::memcmp(&a, &b, offsetof(TDrawElement, DragStart)) == 0
        && a.ClosesChain == b.ClosesChain;
}

std::size_t pictureBytes(const Dib &picture)
{
    if (picture.isNull())
        return sizeof(TBitmapInfo);
    return sizeof(TBitmapInfo)
        + static_cast<std::size_t>(picture.rec().BytesPerLine)
        * static_cast<std::size_t>(std::max(picture.height(), 0));
}

} // namespace

bool UndoHistory::Step::widthOnly() const
{
    return before.empty() && after.empty() && !picture && penBefore == penAfter;
}

void UndoHistory::Step::measure()
{
    // What the vectors hold, not only what they use: the records of the runs are gathered
    // without knowing how many there will be.
    bytes = sizeof(Step) + (before.capacity() + after.capacity()) * RecordSize
        + runs.capacity() * sizeof(ElementReplacement) + (picture ? pictureBytes(*picture) : 0);
}

bool replaceElementRange(TElementList &list, std::int32_t offset, std::int32_t removeCount,
    const TDrawElement *insert, std::int32_t insertCount)
{
    const auto count = static_cast<std::int32_t>(list.Count());
    const std::int32_t newCount = count - removeCount + insertCount;
    if (newCount == 0) {
        list.Clear();
        return true;
    }
    const std::int32_t tail = count - offset - removeCount;

    if (newCount > count && !list.AppendRecords(static_cast<std::uint32_t>(newCount - count)))
        return false;
    // The store keeps its records in one block, so the tail moves in one piece.
    auto *base = reinterpret_cast<unsigned char *>(list.Get(0));
    std::memmove(base + static_cast<std::size_t>(offset + insertCount) * RecordSize,
        base + static_cast<std::size_t>(offset + removeCount) * RecordSize,
        static_cast<std::size_t>(tail) * RecordSize);
    if (insertCount > 0) {
        std::memcpy(base + static_cast<std::size_t>(offset) * RecordSize, insert,
            static_cast<std::size_t>(insertCount) * RecordSize);
    }
    list.Truncate(static_cast<std::uint32_t>(newCount));
    return true;
}

UndoHistory::UndoHistory(int maxSteps, std::size_t maxBytes)
    : m_maxSteps(std::max(maxSteps, 1))
    , m_maxBytes(maxBytes)
{
}

UndoHistory::~UndoHistory()
{
    clearRedo();
    while (!m_undo.empty())
        dropOldest();
    if (m_replacedPicture)
        release(std::move(*m_replacedPicture));
}

void UndoHistory::setPictureReleaser(std::function<void(Dib &&)> releaser)
{
    m_releaser = std::move(releaser);
}

void UndoHistory::release(Dib &&picture)
{
    if (m_releaser)
        m_releaser(std::move(picture));
    else
        picture.reset();
}

void UndoHistory::reset(const TElementList &elements, std::uint32_t penColor, double lineWidth)
{
    clearRedo();
    while (!m_undo.empty())
        dropOldest();
    if (m_replacedPicture) {
        release(std::move(*m_replacedPicture));
        m_replacedPicture.reset();
    }
    m_baseId = m_nextId++;
    m_elements.assign(elements);
    m_penColor = penColor;
    m_lineWidth = lineWidth;
}

void UndoHistory::pictureReplaced(Dib previous, double previousResolution)
{
    if (m_replacedPicture) {
        release(std::move(previous));
    } else {
        m_replacedPicture = std::move(previous);
        m_replacedResolution = previousResolution;
    }
}

std::uint64_t UndoHistory::stateId() const
{
    return m_undo.empty() ? m_baseId : m_undo.back().id;
}

bool UndoHistory::checkpoint(const TElementList &elements, std::uint32_t penColor, double lineWidth)
{
    const auto newCount = static_cast<std::int32_t>(elements.Count());
    const std::int32_t oldCount = m_elements.size();
    const std::int32_t common = std::min(newCount, oldCount);
    const std::int32_t prefix = m_elements.commonPrefix(elements);
    const std::int32_t suffix = m_elements.commonSuffix(elements, common - prefix);
    const std::int32_t oldLen = oldCount - prefix - suffix;
    const std::int32_t newLen = newCount - prefix - suffix;

    bool elementsChanged = oldLen > 0 || newLen > 0;
    if (elementsChanged && oldLen == newLen) {
        elementsChanged = false;
        ElementSnapshot::Reader was(m_elements, prefix);
        for (std::int32_t i = 0; i < newLen && !elementsChanged; ++i)
            elementsChanged = !sameDrawing(elements.at(prefix + i), was.next());
        // Selecting and deselecting is no change of the drawing; the history simply takes the
        // new flags over, so the next step restores them as they are now.
        if (!elementsChanged)
            m_elements.update(elements, prefix, prefix + newLen);
    }
    const bool pictureChanged = m_replacedPicture.has_value();
    if (!elementsChanged && !pictureChanged && penColor == m_penColor && lineWidth == m_lineWidth)
        return false;

    Step step;
    step.id = m_nextId++;
    step.penBefore = m_penColor;
    step.penAfter = penColor;
    step.widthBefore = m_lineWidth;
    step.widthAfter = lineWidth;
    if (elementsChanged)
        recordElements(step, elements, prefix, oldLen, newLen);
    if (pictureChanged) {
        step.picture = std::move(*m_replacedPicture);
        step.resolution = m_replacedResolution;
        m_replacedPicture.reset();
    }
    step.measure();
    m_penColor = penColor;
    m_lineWidth = lineWidth;

    clearRedo();
    // Typing a width or stepping it with the arrows is one change, not one per digit.
    if (step.widthOnly() && !m_undo.empty() && m_undo.back().widthOnly()) {
        m_undo.back().widthAfter = lineWidth;
        m_undo.back().id = step.id;
        return true;
    }
    m_bytes += step.bytes;
    m_undo.push_back(std::move(step));
    enforceLimits();
    return true;
}

void UndoHistory::recordElements(Step &step, const TElementList &elements, std::int32_t prefix,
    std::int32_t oldLen, std::int32_t newLen)
{
    // An area delete leaves few records of the run as they were but removes most of them
    // unchanged: kept as its removals, the step holds those once instead of the list twice.
    if (oldLen > newLen && oldLen >= LookForRemovalsFrom
        && findRemovalRuns(m_elements, elements, prefix, oldLen, newLen,
            static_cast<std::size_t>(oldLen + newLen) / 2, step.runs, step.before, step.after)) {
        m_elements.update(elements, prefix, prefix + newLen);
        return;
    }
    step.runs.assign(1, { prefix, oldLen, newLen });
    step.before.resize(static_cast<std::size_t>(oldLen));
    m_elements.read(prefix, oldLen, step.before.data());
    step.after.resize(static_cast<std::size_t>(newLen));
    for (std::int32_t i = 0; i < newLen; ++i)
        step.after[static_cast<std::size_t>(i)] = elements.at(prefix + i);
    m_elements.update(elements, prefix, prefix + newLen);
}

void UndoHistory::enforceLimits()
{
    // The newest step always stays, so the change just made can be undone even when it alone
    // is larger than the limit (a very large scan); its size is that of the document itself.
    while (m_undo.size() > 1
        && (static_cast<int>(m_undo.size() + m_redo.size()) > m_maxSteps || m_bytes > m_maxBytes))
        dropOldest();
}

void UndoHistory::dropOldest()
{
    Step &oldest = m_undo.front();
    m_baseId = oldest.id;
    m_bytes -= oldest.bytes;
    if (oldest.picture)
        release(std::move(*oldest.picture));
    m_undo.pop_front();
}

void UndoHistory::clearRedo()
{
    for (Step &step : m_redo) {
        m_bytes -= step.bytes;
        if (step.picture)
            release(std::move(*step.picture));
    }
    m_redo.clear();
}

bool UndoHistory::apply(Step &step, Direction direction, UndoDocument &document)
{
    const bool back = direction == Direction::Back;
    TElementList &list = document.elements;
    const std::uint64_t versionBefore = list.version();
    std::vector<ElementReplacement> runs = back ? invertedRuns(step.runs) : step.runs;
    if (runs.size() == 1) {
        const std::vector<TDrawElement> &to = back ? step.before : step.after;
        const ElementReplacement r = runs.front();
        if (!replaceElementRange(list, r.offset, r.removed, to.data(), r.inserted))
            return false;
    } else if (!runs.empty()) {
        // Several runs, none growing going forward: the list shrinks going forward and grows
        // back by as many records; moving the records back into place writes every slot.
        const auto count = static_cast<std::int32_t>(list.Count());
        const auto lost = static_cast<std::int32_t>(recordsLost(step.runs));
        if (back) {
            if (lost > 0 && !list.AppendRecords(static_cast<std::uint32_t>(lost)))
                return false;
            applyRunsBack(list.Get(0), count, step.runs, step.before.data());
        } else {
            const std::int32_t kept =
                applyRunsForward(list.Get(0), count, step.runs, step.after.data());
            list.Truncate(static_cast<std::uint32_t>(kept));
        }
    }
    if (!runs.empty()) {
        // The history's copy and the index both follow the list, reading it only; for a large
        // change they do so at the same time.
        const ElementReplacement &first = runs.front();
        const std::int32_t changedEnd = runs.size() == 1
            ? first.offset + first.inserted
            : static_cast<std::int32_t>(list.Count());
        const auto updateCopy = [&] { m_elements.update(list, first.offset, changedEnd); };
        std::future<void> copied;
        if (document.index && changedEnd - first.offset >= InParallelFrom) {
            try {
                copied = std::async(std::launch::async, updateCopy);
            } catch (const std::system_error &) {
                // No thread to be had: one after the other, then.
            }
        }
        if (!copied.valid())
            updateCopy();
        if (document.index)
            document.index->replaced(list, versionBefore, runs);
        if (copied.valid())
            copied.get();
    }
    if (step.picture)
        std::swap(*step.picture, document.picture);
    if (step.resolution > 0 && document.resolution)
        std::swap(step.resolution, *document.resolution);
    document.penColor = back ? step.penBefore : step.penAfter;
    document.lineWidth = back ? step.widthBefore : step.widthAfter;
    m_penColor = document.penColor;
    m_lineWidth = document.lineWidth;
    return true;
}

bool UndoHistory::undo(UndoDocument document)
{
    if (m_undo.empty() || !apply(m_undo.back(), Direction::Back, document))
        return false;
    m_redo.push_back(std::move(m_undo.back()));
    m_undo.pop_back();
    return true;
}

bool UndoHistory::redo(UndoDocument document)
{
    if (m_redo.empty() || !apply(m_redo.back(), Direction::Forward, document))
        return false;
    m_undo.push_back(std::move(m_redo.back()));
    m_redo.pop_back();
    return true;
}
