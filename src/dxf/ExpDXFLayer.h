#pragma once

#include <cstdint>
#include <string>

// One record of the LAYER table.
class TsgExpDXFLayer
{
public:
    explicit TsgExpDXFLayer(std::string name)
        : Name(std::move(name))
    {
    }

    std::string Name;
    std::string LineTypeName = "Continuous";
    std::uint8_t Flags = 0;
    std::int32_t Color = 7;
    std::int32_t LineWeight = -3;
};
