#include "dxf/FixedBlocks.h"

namespace {

// The header section opens the file.
constexpr FixedGroup BlockA[] = {
    { 0, "SECTION" },
    { 2, "HEADER" },
};

// End of the header, the empty VPORT table and the head of the LTYPE table with its two
// standard records; the line types of the document follow.
constexpr FixedGroup BlockB[] = {
    { 0, "ENDSEC" },
    { 0, "SECTION" },
    { 2, "TABLES" },
    { 0, "TABLE" },
    { 2, "VPORT" },
    { 5, "  1" },
    { 100, "AcDbSymbolTable" },
    { 0, "ENDTAB" },
    { 0, "TABLE" },
    { 2, "LTYPE" },
    { 5, "  2" },
    { 100, "AcDbSymbolTable" },
    { 0, "LTYPE" },
    { 5, "  3" },
    { 100, "AcDbSymbolTableRecord" },
    { 100, "AcDbLinetypeTableRecord" },
    { 2, "BYBLOCK" },
    { 70, "     0" },
    { 0, "LTYPE" },
    { 5, "  4" },
    { 100, "AcDbSymbolTableRecord" },
    { 100, "AcDbLinetypeTableRecord" },
    { 2, "BYLAYER" },
    { 70, "     0" },
};

// End of the LTYPE table and head of the LAYER table; the layer records follow.
constexpr FixedGroup BlockC[] = {
    { 0, "ENDTAB" },
    { 0, "TABLE" },
    { 2, "LAYER" },
    { 5, " 1A" },
    { 330, "  0" },
    { 100, "AcDbSymbolTable" },
};

// The STYLE, VIEW, UCS and APPID tables.
constexpr FixedGroup BlockD[] = {
    { 0, "ENDTAB" },
    { 0, "TABLE" },
    { 2, "STYLE" },
    { 5, "  5" },
    { 100, "AcDbSymbolTable" },
    { 0, "STYLE" },
    { 5, "  6" },
    { 100, "AcDbSymbolTableRecord" },
    { 100, "AcDbTextStyleTableRecord" },
    { 2, "STANDARD" },
    { 70, "     0" },
    { 40, "0.0" },
    { 41, "1.0" },
    { 50, "0.0" },
    { 71, "     0" },
    { 42, "10.0" },
    { 3, "txt" },
    { 4, "bigfont" },
    { 0, "ENDTAB" },
    { 0, "TABLE" },
    { 2, "VIEW" },
    { 5, "  7" },
    { 100, "AcDbSymbolTable" },
    { 0, "ENDTAB" },
    { 0, "TABLE" },
    { 2, "UCS" },
    { 5, "  8" },
    { 100, "AcDbSymbolTable" },
    { 0, "ENDTAB" },
    { 0, "TABLE" },
    { 2, "APPID" },
    { 5, "  9" },
    { 100, "AcDbSymbolTable" },
    { 0, "APPID" },
    { 5, "  A" },
    { 100, "AcDbSymbolTableRecord" },
    { 100, "AcDbRegAppTableRecord" },
    { 2, "ACAD" },
    { 70, "0" },
};

// Head of the DIMSTYLE table.
constexpr FixedGroup BlockE[] = {
    { 0, "ENDTAB" },
    { 0, "TABLE" },
    { 2, "DIMSTYLE" },
    { 5, "  B" },
    { 100, "AcDbSymbolTable" },
};

// Release 2000 continues the DIMSTYLE table head.
constexpr FixedGroup BlockE2[] = {
    { 70, "     1" },
    { 100, "AcDbDimStyleTable" },
    { 71, "     0" },
};

// The BLOCK_RECORD table with model and paper space.
constexpr FixedGroup BlockF[] = {
    { 0, "ENDTAB" },
    { 0, "TABLE" },
    { 2, "BLOCK_RECORD" },
    { 5, "  C" },
    { 100, "AcDbSymbolTable" },
    { 0, "BLOCK_RECORD" },
    { 5, "  D" },
    { 100, "AcDbSymbolTableRecord" },
    { 100, "AcDbBlockTableRecord" },
    { 2, "*MODEL_SPACE" },
    { 0, "BLOCK_RECORD" },
    { 5, "  E" },
    { 100, "AcDbSymbolTableRecord" },
    { 100, "AcDbBlockTableRecord" },
    { 2, "*PAPER_SPACE" },
};

// End of the tables and the BLOCKS section with the two empty space blocks.
constexpr FixedGroup BlockG[] = {
    { 0, "ENDTAB" },
    { 0, "ENDSEC" },
    { 0, "SECTION" },
    { 2, "BLOCKS" },
    { 0, "BLOCK" },
    { 5, "  F" },
    { 330, "  D" },
    { 100, "AcDbEntity" },
    { 8, "0" },
    { 100, "AcDbBlockBegin" },
    { 2, "*MODEL_SPACE" },
    { 70, "     0" },
    { 0, "ENDBLK" },
    { 5, " 10" },
    { 100, "AcDbEntity" },
    { 8, "0" },
    { 100, "AcDbBlockEnd" },
    { 0, "BLOCK" },
    { 5, " 11" },
    { 330, "  E" },
    { 100, "AcDbEntity" },
    { 8, "0" },
    { 100, "AcDbBlockBegin" },
    { 2, "*PAPER_SPACE" },
    { 70, "     0" },
    { 0, "ENDBLK" },
    { 5, " 12" },
    { 100, "AcDbEntity" },
    { 8, "0" },
    { 100, "AcDbBlockEnd" },
};

// End of the entities and the OBJECTS section of a release 14 file.
constexpr FixedGroup BlockH14[] = {
    { 0, "ENDSEC" },
    { 0, "SECTION" },
    { 2, "OBJECTS" },
    { 0, "DICTIONARY" },
    { 5, "13" },
    { 100, "AcDbDictionary" },
    { 3, "ACAD_GROUP" },
    { 350, "14" },
    { 3, "ACAD_MLINESTYLE" },
    { 350, "15" },
    { 0, "DICTIONARY" },
    { 5, "14" },
    { 102, "{ACAD_REACTORS" },
    { 330, "13" },
    { 102, "}" },
    { 100, "AcDbDictionary" },
    { 0, "DICTIONARY" },
    { 5, "15" },
    { 102, "{ACAD_REACTORS" },
    { 330, "13" },
    { 102, "}" },
    { 100, "AcDbDictionary" },
    { 3, "STANDARD" },
    { 350, "16" },
    { 0, "MLINESTYLE" },
    { 5, "16" },
    { 102, "{ACAD_REACTORS" },
    { 330, "15" },
    { 102, "}" },
    { 100, "AcDbMlineStyle" },
    { 2, "STANDARD" },
    { 70, "     0" },
    { 3, " " },
    { 62, "   256" },
    { 51, "90.0" },
    { 52, "90.0" },
    { 71, "     2" },
    { 49, "0.5" },
    { 62, "   256" },
    { 6, "BYLAYER" },
    { 49, "-0.5" },
    { 62, "   256" },
    { 6, "BYLAYER" },
};

// End of the entities and the OBJECTS section of a release 2000 file.
constexpr FixedGroup BlockH2000[] = {
    { 0, "ENDSEC" },
    { 0, "SECTION" },
    { 2, "OBJECTS" },
    { 0, "DICTIONARY" },
    { 5, " 13" },
    { 330, "0" },
    { 100, "AcDbDictionary" },
    { 281, "     1" },
    { 3, "ACAD_GROUP" },
    { 350, " 14" },
    { 3, "ACAD_MLINESTYLE" },
    { 350, " 16" },
    { 3, "ACAD_PLOTSETTINGS" },
    { 350, " 17" },
    { 3, "ACAD_PLOTSTYLENAME" },
    { 350, " 18" },
    { 0, "DICTIONARY" },
    { 5, " 14" },
    { 330, " 13" },
    { 100, "AcDbDictionary" },
    { 281, "     1" },
    { 0, "DICTIONARY" },
    { 5, " 16" },
    { 330, " 13" },
    { 100, "AcDbDictionary" },
    { 281, "     1" },
    { 0, "DICTIONARY" },
    { 5, " 17" },
    { 102, "{ACAD_REACTORS" },
    { 330, " 13" },
    { 102, "}" },
    { 330, " 13" },
    { 100, "AcDbDictionary" },
    { 281, "     1" },
    { 0, "ACDBDICTIONARYWDFLT" },
    { 5, " 18" },
    { 102, "{ACAD_REACTORS" },
    { 330, " 13" },
    { 102, "}" },
    { 330, " 13" },
    { 100, "AcDbDictionary" },
    { 281, "     1" },
    { 3, "Normal" },
    { 350, " 19" },
    { 100, "AcDbDictionaryWithDefault" },
    { 340, " 19" },
    { 0, "ACDBPLACEHOLDER" },
    { 5, " 19" },
    { 102, "{ACAD_REACTORS" },
    { 330, " 18" },
    { 102, "}" },
    { 330, " 18" },
};

// The end of the file.
constexpr FixedGroup BlockJ[] = {
    { 0, "ENDSEC" },
    { 0, "EOF" },
};

} // namespace

namespace FixedBlocks {
const std::span<const FixedGroup> A { BlockA };
const std::span<const FixedGroup> B { BlockB };
const std::span<const FixedGroup> C { BlockC };
const std::span<const FixedGroup> D { BlockD };
const std::span<const FixedGroup> E { BlockE };
const std::span<const FixedGroup> E2 { BlockE2 };
const std::span<const FixedGroup> F { BlockF };
const std::span<const FixedGroup> G { BlockG };
const std::span<const FixedGroup> H14 { BlockH14 };
const std::span<const FixedGroup> H2000 { BlockH2000 };
const std::span<const FixedGroup> J { BlockJ };
} // namespace FixedBlocks
