#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace linovex::fuzz {

// One group of a DXF text: its code line and its value line.
struct DxfGroup
{
    int code;
    std::string_view value;
};

// Splits a DXF text at its CR LF line ends into groups. Returns an empty string when every
// code line is a number and every coordinate, length and bulge value is a finite number,
// otherwise what was wrong.
std::string parseDxfGroups(std::string_view text, std::vector<DxfGroup> &groups);

// The outline of a spline DXF: the values of every group 0 and the section names, with the
// entities of the ENTITIES section left out. An export must have the outline of the empty
// document whatever it draws. Entities other than light-weight polylines and splines are
// reported through `problem`.
std::vector<std::string> splineOutline(const std::vector<DxfGroup> &groups, std::string &problem);

// Checks the entities of a CNC export: only polylines of at least two vertices, each ended by
// SEQEND. `groups` are the groups between the fixed opening and the fixed closing.
std::string checkCncEntities(const std::vector<DxfGroup> &groups);

} // namespace linovex::fuzz
