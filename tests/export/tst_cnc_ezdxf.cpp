// An independent reader, ezdxf, loads a CNC file of a drawing with every kind of element: it must
// find nothing to complain about or repair, and every arc it reads from a bulge must follow the
// Bezier piece it replaces within 1 % of the piece's chord.
#include "CncTestDrawing.h"
#include "EzdxfCheck.h"
#include "export/CncDxfExport.h"
#include "support/TestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>
#include <numbers>

using namespace cnctest;

namespace {

// The expected segments of the file in order, in output coordinates.
class ExpectedSegments
{
public:
    ExpectedSegments(double q, int pieces)
        : m_q(q)
        , m_pieces(pieces)
    {
    }

    TPointD out(TPointD p) const { return { p.x / m_q, -(p.y / m_q) }; }

    void line(TPointD a, TPointD b)
    {
        const TPointD oa = out(a), ob = out(b);
        m_list.append(QJsonObject { { "line", QJsonArray { oa.x, oa.y, ob.x, ob.y } } });
    }

    // A cubic in output coordinates, cut into its pieces.
    void cubic(TPointD p0, TPointD p1, TPointD p2, TPointD p3)
    {
        const QJsonArray c { p0.x, p0.y, p1.x, p1.y, p2.x, p2.y, p3.x, p3.y };
        for (int i = 1; i <= m_pieces; ++i) {
            m_list.append(QJsonObject {
                { "bezier", c }, { "t0", (i - 1.0) / m_pieces }, { "t1", double(i) / m_pieces } });
        }
    }

    void quadratic(TPointD s, TPointD c, TPointD e)
    {
        const TPointD p0 = out(s), pc = out(c), p2 = out(e);
        cubic(p0, p0 + TPointD { (pc.x - p0.x) * 2 / 3, (pc.y - p0.y) * 2 / 3 },
            pc + TPointD { (p2.x - pc.x) / 3, (p2.y - pc.y) / 3 }, p2);
    }

    // The sixteen quadratic pieces of an ellipse, each pushed out by 1.02 at its middle angle.
    void ellipse(TPointD s, TPointD e)
    {
        const TPointD a = out(s), b = out(e);
        const double xm = (a.x + b.x) / 2, ym = (a.y + b.y) / 2;
        const double hx = (b.x - a.x) / 2, hy = (a.y - b.y) / 2;
        auto at = [&](double phi, double f) {
            return TPointD { xm + f * hx * std::sin(phi), ym + f * hy * std::cos(phi) };
        };
        for (int j = 1; j <= 16; ++j) {
            const double phi = j * std::numbers::pi / 8;
            const TPointD p0 = at(phi - std::numbers::pi / 8, 1), p2 = at(phi, 1);
            const TPointD f = at(phi - std::numbers::pi / 16, 1.02);
            cubic(p0, p0 + TPointD { (f.x - p0.x) * 2 / 3, (f.y - p0.y) * 2 / 3 },
                f + TPointD { (p2.x - f.x) / 3, (p2.y - f.y) / 3 }, p2);
        }
    }

    QByteArray json() const { return QJsonDocument(m_list).toJson(QJsonDocument::Compact); }
    qsizetype size() const { return m_list.size(); }

private:
    double m_q;
    int m_pieces;
    QJsonArray m_list;
};

} // namespace

TEST(CncDxfReader, EzdxfReadsArcsThatFollowTheirPieces)
{
    TElementList list;
    // A closed chain of every curve kind, a second chain, and two ellipses (one turned round). The
    // curves bend the way traced outlines do; a piece with an inflection cannot follow one arc.
    append(list, element(KindLine, 0, { 10, 10 }, { 100, 10 }));
    append(list, element(KindQuadBezier, 1, { 100, 10 }, { 100, 90 }, { 160, 50 }));
    append(list, element(KindCubicBezier, 2, { 100, 90 }, { 20, 90 }, { 80, 130 }, { 40, 130 }));
    TDrawElement last = element(KindLine, 3, { 20, 90 }, { 15, 40 });
    last.ClosesChain = 1;
    append(list, last);
    append(list, element(KindEllipse, 0, { 200, 50 }, { 300, 120 }));
    append(list, element(KindCubicBezier, 0, { 0, 200 }, { 250, 200 }, { 60, 120 }, { 190, 110 }));
    append(list, element(KindEllipse, 1, { 500, 400 }, { 420, 330 }));

    DxfExportParams params;
    params.dpi = 96;
    params.millimetres = true;
    params.pieces = 5;
    ExpectedSegments expected(params.scaleDivisor(), params.pieces);
    expected.line({ 10, 10 }, { 100, 10 });
    expected.quadratic({ 100, 10 }, { 160, 50 }, { 100, 90 });
    {
        const TPointD s = expected.out({ 100, 90 }), c1 = expected.out({ 80, 130 }),
                      c2 = expected.out({ 40, 130 }), e = expected.out({ 20, 90 });
        expected.cubic(s, c1, c2, e);
    }
    expected.line({ 20, 90 }, { 15, 40 });
    expected.line({ 15, 40 }, { 10, 10 }); // the closing line
    {
        const TPointD s = expected.out({ 0, 200 }), c1 = expected.out({ 60, 120 }),
                      c2 = expected.out({ 190, 110 }), e = expected.out({ 250, 200 });
        expected.cubic(s, c1, c2, e);
    }
    expected.ellipse({ 200, 50 }, { 300, 120 });
    expected.ellipse({ 500, 400 }, { 420, 330 });

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString dxf = dir.filePath(QStringLiteral("cnc.dxf"));
    const QString segments = dir.filePath(QStringLiteral("segments.json"));
    ASSERT_TRUE(savedxfArc(list, params, dxf).ok);
    ASSERT_TRUE(linovex::test::writeFile(segments, expected.json()));

    EZDXF_RUN(check, "cnc_ezdxf_check.py", dxf, segments);
    const QJsonObject &report = check.report;
    ezdxfcheck::expectCleanAudit(report);
    EXPECT_EQ(report["problems"].toArray().size(), 0)
        << QJsonDocument(report["problems"].toArray()).toJson().toStdString();
    // Only polylines: the first chain with its closing line, the second curve (it starts elsewhere), and
    // the two ellipses, each closing on itself and starting apart from the one before.
    const QJsonObject counts = report["counts"].toObject();
    EXPECT_EQ(counts.keys(), QStringList { QStringLiteral("POLYLINE") });
    EXPECT_EQ(counts["POLYLINE"].toInt(), 4);
    // The curved pieces of the Beziers and all ellipse pieces are arcs.
    EXPECT_GE(report["arcs"].toInt(), 3 * 5 + 2 * 16 * 5 - 2);
    EXPECT_EQ(expected.size(), 1 + 5 + 5 + 1 + 1 + 5 + 2 * 16 * 5);
}
