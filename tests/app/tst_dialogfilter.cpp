#include "app/DialogFilter.h"

#include <gtest/gtest.h>

namespace {

struct FilterCase
{
    const char *pairs;
    const char *qt;
};

class DialogFilterTest : public ::testing::TestWithParam<FilterCase>
{
};

TEST_P(DialogFilterTest, ConvertsPairsToQtFilters)
{
    EXPECT_EQ(qtFileFilter(QString::fromUtf8(GetParam().pairs)), QString::fromUtf8(GetParam().qt));
}

INSTANTIATE_TEST_SUITE_P(Pairs, DialogFilterTest,
    ::testing::Values(FilterCase { "", "" },
        FilterCase { "Linovex Projekt (*.lvx)|*.lvx", "Linovex Projekt (*.lvx)" },
        FilterCase { "JPG|*.JPG;*.JPEG|PNG|*.PNG", "JPG (*.JPG *.JPEG);;PNG (*.PNG)" },
        // Windows' "every file" pattern would hide files without a dot on Linux.
        FilterCase { "All files (*.*)|*.*", "All files (*)" },
        FilterCase { "Alles|*.*;*.txt", "Alles (* *.txt)" },
        // A description without patterns and empty patterns are dropped, not shown empty.
        FilterCase { "SVG|*.svg|Trailing", "SVG (*.svg)" },
        FilterCase { "Leer||SVG|*.svg", "SVG (*.svg)" },
        FilterCase { "Bilder| *.BMP ; *.DIB ;", "Bilder (*.BMP *.DIB)" },
        FilterCase { "Übersicht äöü|*.ÄÖ", "Übersicht äöü (*.ÄÖ)" }));

} // namespace
