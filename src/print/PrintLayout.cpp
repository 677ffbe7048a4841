#include "print/PrintLayout.h"

#include "base/RoundEven.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

// Products of printer pixels and picture pixels exceed 32 bits on large pages and pictures,
// so every product is formed in 64 bits before the truncating division.
int mulDiv(std::int64_t a, std::int64_t b, std::int64_t c)
{
    return static_cast<int>(a * b / c);
}

// A percentage cut toward zero and limited to the field's range. The quotient is limited
// before the cut, so a huge or non-finite value cannot overflow the conversion.
int cutPercent(double q)
{
    if (std::isnan(q))
        return MinPercent;
    q = std::clamp(q, static_cast<double>(MinPercent) - 1, static_cast<double>(MaxPercent) + 1);
    return std::clamp(static_cast<int>(std::trunc(q)), MinPercent, MaxPercent);
}

// (a x percent) / b x c / d in floating point, the first product formed as an integer.
double ratioPercent(int a, int percent, int b, int c, int d)
{
    const std::int64_t product = static_cast<std::int64_t>(a) * percent;
    return static_cast<double>(product) / b * c / d;
}

bool usable(QSize picture, QSize printable)
{
    return picture.width() > 0 && picture.height() > 0 && printable.width() > 0
        && printable.height() > 0;
}

bool limited(double q)
{
    return !(q >= MinPercent && q < MaxPercent + 1);
}

} // namespace

QRect previewPageRect(QSize box, QSize printable)
{
    const int PW = printable.width();
    const int PH = printable.height();
    if (PW <= 0 || PH <= 0)
        return {};
    const int BW = box.width();
    const int BH = box.height();
    int PgW;
    int PgH;
    if (PH < PW) {
        PgW = BW;
        PgH = mulDiv(BW, PH, PW);
    } else {
        PgH = BH;
        PgW = mulDiv(BH, PW, PH);
    }
    return QRect((BW - PgW) / 2, (BH - PgH) / 2, PgW, PgH);
}

QRect picturePlacement(const QRect &page, QSize picture, const TPrintChoices &choices)
{
    const int W = picture.width();
    const int H = picture.height();
    const int PgW = page.width();
    const int PgH = page.height();
    if (W <= 0 || H <= 0 || PgW <= 0 || PgH <= 0)
        return {};

    int w;
    int h;
    if (!choices.UseFullCheck) {
        w = RoundEven(
            static_cast<double>(static_cast<std::int64_t>(choices.BreitEdit) * PgW) / 100);
        h = RoundEven(static_cast<double>(static_cast<std::int64_t>(choices.HochEdit) * PgH) / 100);
    } else if (choices.SverhCheck) {
        if (PgH < mulDiv(PgW, H, W)) {
            w = mulDiv(W, PgH, H);
            h = PgH;
        } else {
            w = PgW;
            h = mulDiv(H, PgW, W);
        }
    } else {
        w = PgW;
        h = PgH;
    }

    int x = page.left();
    int y = page.top();
    if (choices.ZentrCheck) {
        x += (PgW - w) / 2;
        y += (PgH - h) / 2;
    }
    return QRect(x, y, w, h);
}

TPercentPair heightFollowsWidth(int breit, int hoch, QSize picture, QSize printable)
{
    if (!usable(picture, printable))
        return { breit, hoch };
    const int W = picture.width();
    const int H = picture.height();
    const int PW = printable.width();
    const int PH = printable.height();
    const double q = ratioPercent(H, breit, W, PW, PH);
    TPercentPair pair { breit, cutPercent(q) };
    if (limited(q))
        pair.breit = cutPercent(ratioPercent(W, pair.hoch, H, PH, PW));
    return pair;
}

TPercentPair widthFollowsHeight(int breit, int hoch, QSize picture, QSize printable)
{
    if (!usable(picture, printable))
        return { breit, hoch };
    const int W = picture.width();
    const int H = picture.height();
    const int PW = printable.width();
    const int PH = printable.height();
    const double q = ratioPercent(W, hoch, H, PH, PW);
    TPercentPair pair { cutPercent(q), hoch };
    if (limited(q))
        pair.hoch = cutPercent(ratioPercent(H, pair.breit, W, PW, PH));
    return pair;
}
