#pragma once

#include <cstdlib>
#include <fstream>
#include <malloc.h>
#include <string>

// A line of /proc/self/status in megabytes ("VmRSS", "VmHWM"), 0 when it cannot be read.
inline double statusMegabytes(const char *key)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(key) + ":";
    while (std::getline(status, line)) {
        if (line.starts_with(prefix))
            return std::atof(line.c_str() + prefix.size()) / 1024.0;
    }
    return 0;
}

// Starts measuring the peak from now: memory the process gave back before is returned to the
// system, and the kernel's high-water mark is set back to what is resident now.
inline void restartPeak()
{
    malloc_trim(0);
    std::ofstream("/proc/self/clear_refs") << "5";
}
