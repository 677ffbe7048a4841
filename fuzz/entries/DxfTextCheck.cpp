#include "DxfTextCheck.h"

#include <charconv>
#include <cmath>

namespace linovex::fuzz {

namespace {

// Group codes whose values are real numbers.
bool isRealCode(int code)
{
    return (code >= 10 && code <= 59) || (code >= 110 && code <= 149)
        || (code >= 210 && code <= 239) || (code >= 1010 && code <= 1059);
}

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    return s;
}

} // namespace

std::string parseDxfGroups(std::string_view text, std::vector<DxfGroup> &groups)
{
    groups.clear();
    // Kept from call to call: a fuzzing run calls this some million times with texts of up to a
    // few megabytes, and growing a fresh vector each time costs more than the check itself.
    thread_local std::vector<std::string_view> lines;
    lines.clear();
    while (!text.empty()) {
        const auto end = text.find("\r\n");
        lines.push_back(text.substr(0, end));
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + 2);
    }
    if (lines.size() % 2 != 0)
        return "odd number of lines: a group code without its value";
    groups.reserve(lines.size() / 2);
    for (std::size_t i = 0; i < lines.size(); i += 2) {
        const std::string_view codeText = trimmed(lines[i]);
        int code = 0;
        const auto [end, ec] =
            std::from_chars(codeText.data(), codeText.data() + codeText.size(), code);
        if (ec != std::errc() || end != codeText.data() + codeText.size() || codeText.empty())
            return "line " + std::to_string(i + 1) + " is no group code: '" + std::string(lines[i])
                + "'";
        const std::string_view value = lines[i + 1];
        if (isRealCode(code)) {
            const std::string_view v = trimmed(value);
            double number = 0;
            const auto [vend, vec] = std::from_chars(v.data(), v.data() + v.size(), number);
            if (vec != std::errc() || vend != v.data() + v.size() || v.empty()
                || !std::isfinite(number))
                return "group " + std::to_string(code) + " at line " + std::to_string(i + 2)
                    + " is no finite number: '" + std::string(value) + "'";
        }
        groups.push_back({ code, value });
    }
    return {};
}

std::vector<std::string> splineOutline(const std::vector<DxfGroup> &groups, std::string &problem)
{
    std::vector<std::string> outline;
    bool inEntities = false;
    for (std::size_t i = 0; i < groups.size(); ++i) {
        const DxfGroup &g = groups[i];
        if (g.code == 2 && i > 0 && groups[i - 1].code == 0 && groups[i - 1].value == "SECTION") {
            outline.push_back("section " + std::string(g.value));
            inEntities = g.value == "ENTITIES";
            continue;
        }
        if (g.code != 0)
            continue;
        if (inEntities && g.value != "ENDSEC") {
            if (g.value != "LWPOLYLINE" && g.value != "SPLINE" && problem.empty())
                problem = "unexpected entity " + std::string(g.value);
            continue;
        }
        if (g.value == "ENDSEC")
            inEntities = false;
        outline.emplace_back(g.value);
    }
    return outline;
}

std::string checkCncEntities(const std::vector<DxfGroup> &groups)
{
    int vertices = -1; // -1: no polyline open
    for (const DxfGroup &g : groups) {
        if (g.code != 0)
            continue;
        if (g.value == "POLYLINE") {
            if (vertices >= 0)
                return "a polyline starts before the previous one ended";
            vertices = 0;
        } else if (g.value == "VERTEX") {
            if (vertices < 0)
                return "a vertex outside a polyline";
            ++vertices;
        } else if (g.value == "SEQEND") {
            if (vertices < 2)
                return "a polyline with fewer than two vertices";
            vertices = -1;
        } else {
            return "unexpected entity " + std::string(g.value);
        }
    }
    if (vertices >= 0)
        return "the last polyline is not ended";
    return {};
}

} // namespace linovex::fuzz
