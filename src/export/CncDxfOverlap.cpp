#include "export/CncDxfExport.h"

#include <system_error>
#include <thread>

// The computing side of an overlapped export: the same geometry, handing its segments to the
// pipe instead of writing them.
CncDxfExport::CncDxfExport(const CncDxfExport &writer, SegmentPipe &pipe)
    : m_device(writer.m_device)
    , m_q(writer.m_q)
    , m_pieces(writer.m_pieces)
    , m_search(writer.m_search)
    , m_threading(Threading::Single)
    , m_pipe(&pipe)
{
}

// The geometry (curve points, arc choice, bulges) runs on a second thread; this one turns the
// segments into text in the same order and hands it to the device, so the file is the same.
void CncDxfExport::writeElementsOverlapped(TElementList &list)
{
    SegmentPipe pipe;
    CncDxfExport producer(*this, pipe);
    std::thread worker;
    try {
        worker = std::thread([&] {
            try {
                producer.writeElements(list);
                pipe.close();
            } catch (...) {
                pipe.close(std::current_exception());
            }
        });
    } catch (const std::system_error &) {
        // No thread to be had: do it all here.
        writeElements(list);
        return;
    }
    // However this side ends, the other is stopped and waited for before the pipe goes away.
    struct Join
    {
        SegmentPipe &pipe;
        std::thread &worker;
        ~Join()
        {
            pipe.cancel();
            worker.join();
        }
    } join { pipe, worker };

    std::vector<CncSegment> block;
    while (pipe.take(block)) {
        for (const CncSegment &s : block)
            writeSegment(s.startX, s.startY, s.endX, s.endY, s.bulge);
        if (m_deviceFailed)
            pipe.cancel();
    }
    if (const std::exception_ptr error = pipe.error())
        std::rethrow_exception(error);
}
