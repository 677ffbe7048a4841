#pragma once

#include "document/DrawElement.h"

#include <QPoint>
#include <QRect>
#include <QString>
#include <atomic>
#include <functional>
#include <vector>

// What a trace is asked to do. Plain values, so a dialog can fill one in on the GUI thread and
// hand a copy to a worker thread.
struct TraceSettings
{
    enum class Mode { Outline, Centerline };
    Mode mode = Mode::Outline;
    // Grey level from 0 to 255; pixels darker than it are ink. -1 chooses it from the picture
    // (Otsu's method on the luminance).
    int threshold = -1;
    // Ink or paper areas of at most this many pixels are dropped as specks.
    int speckSize = 4;
    // Smoothness of the outlines: 0 keeps every corner, 1.334 rounds every one.
    double alphaMax = 1.0;
    // An outline becomes one ellipse element when an axis-parallel ellipse fits it within
    // `ellipseRms` pixels root mean square and `ellipseMax` pixels everywhere.
    bool recognizeCircles = true;
    double ellipseRms = 0.25;
    double ellipseMax = 0.5;
    // The part of the picture to trace, in picture pixels (y downward); empty = all of it.
    QRect region;
};

// How a trace reports back while it runs, from whatever thread it runs on.
struct TraceControl
{
    // Called with 0 to 100, between stages and every few thousand rows.
    std::function<void(int percent)> progress;
    // Checked as often; once it is set, the trace stops and gives back nothing.
    const std::atomic<bool> *cancel = nullptr;

    bool cancelled() const { return cancel && cancel->load(std::memory_order_relaxed); }
    void report(int percent) const
    {
        if (progress)
            progress(percent);
    }
};

struct TraceResult
{
    // Empty: the trace ran but found nothing to trace (no ink, no paper, or noise only).
    enum class Status { Ok, Empty, Cancelled, Failed };
    Status status = Status::Ok;
    // Why the trace failed or found nothing (English, for the converter and the logs); the
    // editor shows its own translated message for the status.
    QString reason;
    // Picture coordinates, y downward; chains in the order the tracer found them.
    std::vector<TDrawElement> elements;

    bool ok() const { return status == Status::Ok; }
};

// What the user asked to trace: the whole picture, a dragged rectangle of it, or the one
// connected shape under a click.
struct TraceTarget
{
    enum class Kind { Whole, Region, Shape };
    Kind kind = Kind::Whole;
    QRect region; // Region: picture pixels, y downward
    QPoint at; // Shape: the clicked pixel
};
