#include "raster/scan/ScanDelivery.h"

#include <map>

namespace {

struct Pending
{
    std::uintptr_t nextKey = 1;
    std::map<std::uintptr_t, Dib> pictures;
};

Pending &pending()
{
    static Pending p;
    return p;
}

} // namespace

std::uintptr_t depositScannedPicture(Dib picture)
{
    Pending &p = pending();
    const std::uintptr_t key = p.nextKey++;
    p.pictures.emplace(key, std::move(picture));
    return key;
}

void GetScanedDib(TDibRec &out, std::uintptr_t key)
{
    out = {};
    Pending &p = pending();
    const auto it = p.pictures.find(key);
    if (it == p.pictures.end())
        return;
    out = it->second.release();
    p.pictures.erase(it);
}
