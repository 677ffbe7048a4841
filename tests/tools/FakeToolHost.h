#pragma once

#include "tools/ToolController.h"
#include "tools/ToolHost.h"

#include <QImage>
#include <QPainter>
#include <QPen>
#include <gtest/gtest.h>

// A host that stands in for the main window: a real element list, the view transform with
// rounding to even, a white back buffer, and counters for every request the tools make.
class FakeToolHost : public ToolHost
{
public:
    TElementList &elements() override { return list; }
    TViewTransform view() const override { return TViewTransform { zoomValue, scrollX, scrollY }; }
    QColor penColor() const override { return QColor(255, 0, 0); }
    double lineWidth() const override { return lineWidthValue; }
    void repaint() override { ++repaints; }
    QImage &repaintBufferOnly() override
    {
        ++bufferRepaints;
        buffer.fill(Qt::white);
        return buffer;
    }
    void showBuffer() override { ++shows; }
    bool panActive() const override { return panning; }
    void startPan(const ToolEvent &) override { panning = true; }
    void panStep(const ToolEvent &) override { ++panSteps; }
    void endPan() override { panning = false; }
    void updateHelperLines(const ToolEvent &) override { ++helperLines; }

    // An event at a drawing-area position, converted as the drawing area does.
    ToolEvent at(int x, int y, ToolButton tool, MouseButton button = MouseButton::Left,
        bool ctrl = false, bool leftCtrl = false) const
    {
        return makeToolEvent(view(), QPoint(x, y), button, ctrl || leftCtrl, leftCtrl, tool);
    }

    TDrawElement *cur = nullptr;
    TElementList list { &cur };
    double zoomValue = 100;
    double lineWidthValue = 0.4; // one pixel at 100 %
    int scrollX = 0;
    int scrollY = 0;
    QImage buffer { 300, 300, QImage::Format_RGB32 };
    int repaints = 0;
    int bufferRepaints = 0;
    int shows = 0;
    int helperLines = 0;
    int panSteps = 0;
    bool panning = false;
};

// Drives a ToolController the way the drawing area does: press, move and release at
// drawing-area positions with a tool button down.
class ToolTest : public ::testing::Test
{
protected:
    void press(int x, int y, ToolButton tool, MouseButton button = MouseButton::Left,
        bool ctrl = false, bool leftCtrl = false)
    {
        tools.PaintBox1MouseDown(host.at(x, y, tool, button, ctrl, leftCtrl));
    }
    void move(int x, int y, ToolButton tool, bool ctrl = false, bool leftCtrl = false)
    {
        tools.PaintBox1MouseMove(host.at(x, y, tool, MouseButton::Left, ctrl, leftCtrl));
    }
    void release(int x, int y, ToolButton tool, MouseButton button = MouseButton::Left)
    {
        tools.PaintBox1MouseUp(host.at(x, y, tool, button));
    }
    void click(int x, int y, ToolButton tool)
    {
        press(x, y, tool);
        release(x, y, tool);
    }
    TDrawElement &add(std::int32_t chainPos, std::int32_t kind, TPointD start, TPointD end,
        TPointD c1 = {}, TPointD c2 = {})
    {
        TDrawElement *e = host.list.Append();
        *e = {};
        e->ChainPos = chainPos;
        e->Kind = kind;
        e->Start = start;
        e->End = end;
        e->Ctrl1 = c1;
        e->Ctrl2 = c2;
        return *e;
    }
    const TDrawElement &element(int i) const { return host.list.at(i); }
    int count() const { return static_cast<int>(host.list.Count()); }

    FakeToolHost host;
    ToolController tools { host };
    DrawingTool &drawing = tools.drawing();
    NodeEditTool &editing = tools.editing();
};

#define EXPECT_POINT(actual, ex, ey)                                                               \
    do {                                                                                           \
        const TPointD p_ = (actual);                                                               \
        EXPECT_DOUBLE_EQ(p_.x, (ex));                                                              \
        EXPECT_DOUBLE_EQ(p_.y, (ey));                                                              \
    } while (0)
