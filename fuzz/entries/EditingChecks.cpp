#include "EditingSession.h"
#include "document/ProjectFile.h"

#include <QBuffer>
#include <QFile>
#include <cmath>

namespace linovex::editing {

namespace {

bool knownKind(std::int32_t kind)
{
    return kind == KindLine || kind == KindQuadBezier || kind == KindCubicBezier
        || kind == KindEllipse;
}

bool finite(const TDrawElement &e)
{
    for (const TPointD &p :
        { e.Start, e.End, e.Ctrl1, e.Ctrl2, e.DragStart, e.DragEnd, e.DragCtrl1, e.DragCtrl2 }) {
        if (!std::isfinite(p.x) || !std::isfinite(p.y))
            return false;
    }
    return true;
}

std::string at(const char *what, std::int32_t index)
{
    return std::string(what) + " (element " + std::to_string(index) + ")";
}

} // namespace

std::string Session::checkDocument() const
{
    if (!m_problem.empty())
        return m_problem;
    const auto count = static_cast<std::int32_t>(m_elements.Count());
    const std::int32_t block = TElementList::GrowBlock;
    const std::int64_t expected =
        count == 0 ? 0 : std::int64_t { (count - 1) / block + 1 } * block * sizeof(TDrawElement);
    if (m_elements.allocatedBytes() != expected)
        return "the element store does not hold its records in whole blocks of 100";
    const std::int32_t current = m_elements.currentIndex();
    if (current < -1 || current >= count)
        return "the element store's current record lies outside the list";
    const TDrawElement *bound = current < 0 ? nullptr : &m_elements.at(current);
    if (m_cursor != bound)
        return "the bound cursor is not the store's current record";
    for (std::int32_t i = 0; i < count; ++i) {
        const TDrawElement &e = m_elements.at(i);
        if (!knownKind(e.Kind))
            return at("an element of an unknown kind", i);
        if (!finite(e))
            return at("a coordinate is not a finite number", i);
        const std::int32_t before = i == 0 ? -1 : m_elements.at(i - 1).ChainPos;
        if (e.ChainPos != 0 && e.ChainPos != before + 1)
            return at("a chain position does not follow the one before", i);
    }
    return {};
}

std::string Session::walkHistory(bool back)
{
    // Each step takes one call; more calls than steps means the history is stuck.
    for (int n = 0; back ? m_history.canUndo() : m_history.canRedo(); ++n) {
        if (n > m_options.undoSteps)
            return back ? "undo does not step back" : "redo does not step forward";
        stepHistory(back);
        if (!m_problem.empty())
            return m_problem;
    }
    return {};
}

std::string Session::checkEnd()
{
    if (std::string p = paintIfDue(true); !p.empty())
        return p;
    // The document as a completed change, as undo would leave it before stepping back.
    finishToolWork();
    if (std::string p = checkDocument(); !p.empty())
        return p;
    const QByteArray saved = projectBytes();

    QBuffer file;
    file.setData(saved);
    file.open(QIODevice::ReadOnly);
    const ProjectReadResult opened = readProject(file);
    if (!opened.ok)
        return "a saved project does not open: " + opened.reason.toStdString();
    QBuffer again;
    again.open(QIODevice::WriteOnly);
    writeProject(again, *opened.contents.elements, opened.contents.picture.rec(),
        opened.contents.penColor, opened.contents.lineWidth);
    if (again.data() != saved)
        return "saving an opened project does not give the bytes that were opened";

    if (m_recoveryStarted) {
        m_recovery->wait();
        const ProjectLoad load = loadProjectFile(m_recovery->fileName());
        if (!load.result.ok)
            return "the recovery project does not open: " + load.result.reason.toStdString();
        QFile recovery(m_recovery->fileName());
        if (!recovery.open(QIODevice::ReadOnly) || recovery.readAll() != m_recoverySnapshot)
            return "the recovery project differs from the project saved at the same moment";
    }

    // Steps that were undone during the run are redone first, so that the walk down and up
    // covers the whole history; every step is compared with the state it recorded.
    if (std::string p = walkHistory(false); !p.empty())
        return p;
    const QByteArray top = drawingBytes();
    if (std::string p = walkHistory(true); !p.empty())
        return p;
    if (m_history.stateId() == m_firstId && projectBytes() != m_first)
        return "undoing every step does not give the first document";
    if (std::string p = walkHistory(false); !p.empty())
        return p;
    if (drawingBytes() != top)
        return "redoing every step does not give the last document";
    return checkDocument();
}

} // namespace linovex::editing
