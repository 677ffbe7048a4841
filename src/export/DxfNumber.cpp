#include "export/DxfNumber.h"

#include "dxf/RealFormat.h"

void appendDxfNumber(std::string &out, double value)
{
    appendDxfDouble(out, value);
}

std::string dxfNumber(double value)
{
    std::string text;
    appendDxfDouble(text, value);
    return text;
}
