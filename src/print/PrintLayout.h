#pragma once

#include <QRect>
#include <QSize>

// How the user wants the picture laid out on the page, as the print dialog's fields hold it.
struct TPrintChoices
{
    bool UseFullCheck = true; // "Seite voll nutzen"; false means "Benutzerdefiniert"
    bool SverhCheck = true; // keep the picture's aspect ratio
    bool ZentrCheck = true; // centre the picture on the page
    int BreitEdit = 50; // width in percent of the page, used with "Benutzerdefiniert"
    int HochEdit = 50; // height in percent of the page
    // "Drucken im Maßstab 1:1": the drawing at the size the DXF exports give it, on as many
    // pages as it takes; the fields above then only decide the centring.
    bool TrueSize = false;
};

// The range of the two percentage fields.
inline constexpr int MinPercent = 1;
inline constexpr int MaxPercent = 100;

// The page's shape fitted into a preview box and centred in it: a landscape page (height less
// than width) takes the box's width, any other page its height, the other side cut to whole
// pixels. An empty printable page gives an empty rectangle.
QRect previewPageRect(QSize box, QSize printable);

// Where the picture goes on `page` and how large it is: stretched over the whole page, fitted
// into it with its aspect ratio, or the user's percentages of the page's sides; centred or at
// the page's top-left corner. All cuts truncate toward zero, the percentages round halves to
// even. A picture or page without pixels gives an empty rectangle, which draws nothing.
QRect picturePlacement(const QRect &page, QSize picture, const TPrintChoices &choices);

// The same layout at printer resolution: the page is the whole printable page of PW x PH
// printer pixels with its top-left corner at the origin of the printer's painter.
inline QRect printedPictureRect(QSize printable, QSize picture, const TPrintChoices &choices)
{
    return picturePlacement(QRect(QPoint(0, 0), printable), picture, choices);
}

// The two percentages after one of them changed while the aspect ratio is kept.
struct TPercentPair
{
    int breit = 50;
    int hoch = 50;
};

// The height percentage that gives a printed height keeping the picture's aspect ratio to the
// printed width of `breit` percent: (H x breit) / W x PW / PH, cut toward zero and limited to
// 1 .. 100. When the limit bites, the width is brought back once so that the pair keeps the
// ratio again (again cut and limited), because otherwise "Seitenverhältnis beibehalten" would
// print a distorted picture. Without a picture or a page the pair comes back as it is.
TPercentPair heightFollowsWidth(int breit, int hoch, QSize picture, QSize printable);

// The mirror image: the width percentage from the height percentage.
TPercentPair widthFollowsHeight(int breit, int hoch, QSize picture, QSize printable);
