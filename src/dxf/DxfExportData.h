#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A point of a figure: three 32-bit floats, as the figures keep and print them.
struct TFPoint
{
    float x = 0;
    float y = 0;
    float z = 0;
};

using TFPointList = std::vector<TFPoint>;

// The record through which a caller hands one figure's attributes and points to the
// document. The caller owns it and its point lists; a figure copies what it needs when it
// is created, so the caller may reuse or free them right after the call.
struct TdxfExportData
{
    // How many point lists Points offers; a figure reads list Index only when Index < Count.
    std::uint16_t Count = 0;
    // Group 70 of a light-weight polyline (1 = closed).
    std::uint8_t Flags = 0;
    // AutoCAD colour index for group 62; 0 (by block) and 256 (by layer) are not written.
    std::int32_t Color = 0;
    // Pen width from which the release 2000 lineweight is derived.
    float PenWidth = 0;
    // Constant polyline width, group 43, written only when not 0.
    float ConstWidth = 0;
    // Release 2000 line type name of the entity (group 6), written only when not empty.
    std::string Text;
    const std::vector<TFPointList> *Points = nullptr;
};
