#include "FuzzEntries.h"

#include <array>
#include <cstring>

namespace linovex::fuzz {

namespace {

constexpr std::array kEntries {
    Entry { "project", &projectReader },
    Entry { "opendib", &openDib },
    Entry { "translation_table", &translationTable },
    Entry { "translate_text", &translateTextLookup },
    Entry { "spline_dxf", &splineDxf },
    Entry { "cnc_dxf", &cncDxf },
    Entry { "emf", &emfExport },
    Entry { "editing", &editing },
};

} // namespace

std::span<const Entry> entries()
{
    return kEntries;
}

const Entry *findEntry(const char *name)
{
    for (const Entry &e : kEntries) {
        if (std::strcmp(e.name, name) == 0)
            return &e;
    }
    return nullptr;
}

} // namespace linovex::fuzz
