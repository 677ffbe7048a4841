#include "trace/Skeleton.h"

#include "trace/Thinning.h"

#include <opencv2/core.hpp>
#include <unordered_map>

namespace {

constexpr int Dx[8] = { 1, 1, 0, -1, -1, -1, 0, 1 };
constexpr int Dy[8] = { 0, 1, 1, 1, 0, -1, -1, -1 };

TPointD centre(int x, int y)
{
    return { x + 0.5, y + 0.5 };
}

// Walks the skeleton pixel by pixel. The skeleton picture itself holds each pixel's state, so
// a large picture needs no second one: 0 paper, 1 an unvisited line pixel, 2 a visited one,
// 3 a junction or end pixel, whose node number the map holds.
class Walker
{
public:
    Walker(cv::Mat thin, Skeleton &s)
        : m_s(s)
        , m_thin(std::move(thin))
        , m_w(m_thin.cols)
        , m_h(m_thin.rows)
    {
    }

    void run()
    {
        std::vector<std::pair<int, int>> nodePixels;
        for (int y = 0; y < m_h; ++y) {
            for (int x = 0; x < m_w; ++x) {
                if (label(x, y) == -2 && neighbours(x, y) != 2)
                    nodePixels.emplace_back(x, y);
            }
        }
        // Lone pixels are specks; the others become nodes, touching junction pixels one node.
        for (auto [x, y] : nodePixels) {
            if (neighbours(x, y) == 0)
                state(x, y) = Paper;
        }
        for (auto [x, y] : nodePixels) {
            if (label(x, y) == -2)
                makeNode(x, y);
        }
        for (auto [x, y] : nodePixels) {
            for (int d = 0; d < 8; ++d) {
                const int nx = x + Dx[d], ny = y + Dy[d];
                if (!inside(nx, ny))
                    continue;
                const int l = label(nx, ny);
                // A node pixel next to another node's pixel makes an edge without line pixels.
                if (l == -2 || (l >= 0 && l > label(x, y)))
                    walk(x, y, nx, ny);
            }
        }
        // What is left are loops without a node.
        for (int y = 0; y < m_h; ++y) {
            for (int x = 0; x < m_w; ++x) {
                if (label(x, y) == -2)
                    walkLoop(x, y);
            }
        }
    }

private:
    static constexpr std::uint8_t Paper = 0, Line = 1, Visited = 2, Node = 3;

    std::uint8_t &state(int x, int y) { return m_thin.ptr<std::uint8_t>(y)[x]; }
    std::size_t index(int x, int y) const
    {
        return std::size_t(y) * std::size_t(m_w) + std::size_t(x);
    }
    // -1 paper, -2 an unvisited line pixel, -3 a visited one, or the node number.
    int label(int x, int y)
    {
        const std::uint8_t v = state(x, y);
        return v == Node ? m_nodeOf.at(index(x, y)) : -1 - int(v);
    }
    void setNode(int x, int y, int id)
    {
        state(x, y) = Node;
        m_nodeOf[index(x, y)] = id;
    }
    bool inside(int x, int y) const { return x >= 0 && y >= 0 && x < m_w && y < m_h; }
    int neighbours(int x, int y)
    {
        int n = 0;
        for (int d = 0; d < 8; ++d) {
            const int nx = x + Dx[d], ny = y + Dy[d];
            n += inside(nx, ny) && label(nx, ny) != -1;
        }
        return n;
    }

    void makeNode(int x, int y)
    {
        const int id = int(m_s.nodes.size());
        m_s.nodes.emplace_back();
        std::vector<std::pair<int, int>> stack { { x, y } };
        setNode(x, y, id);
        TPointD sum {};
        int count = 0;
        while (!stack.empty()) {
            const auto [cx, cy] = stack.back();
            stack.pop_back();
            sum = sum + centre(cx, cy);
            ++count;
            for (int d = 0; d < 8; ++d) {
                const int nx = cx + Dx[d], ny = cy + Dy[d];
                if (inside(nx, ny) && label(nx, ny) == -2 && neighbours(nx, ny) > 2) {
                    setNode(nx, ny, id);
                    stack.emplace_back(nx, ny);
                }
            }
        }
        m_s.nodes.back().at = (1.0 / count) * sum;
    }

    // Follows line pixels from node pixel (x, y) through (nx, ny) to the next node pixel.
    void walk(int x, int y, int nx, int ny)
    {
        SkeletonEdge e;
        e.from = label(x, y);
        e.points.push_back(centre(x, y));
        int px = x, py = y;
        while (label(nx, ny) == -2) {
            state(nx, ny) = Visited;
            e.points.push_back(centre(nx, ny));
            int bx = -1, by = -1;
            bool toNode = false;
            for (int d = 0; d < 8; ++d) {
                const int cx = nx + Dx[d], cy = ny + Dy[d];
                if (!inside(cx, cy) || (cx == px && cy == py))
                    continue;
                const int l = label(cx, cy);
                if (l == -2 && !toNode) {
                    bx = cx;
                    by = cy;
                } else if (l >= 0) {
                    bx = cx;
                    by = cy;
                    toNode = true;
                }
            }
            if (bx < 0)
                return; // cannot happen on a thinned picture; the pieces are left as specks
            px = nx;
            py = ny;
            nx = bx;
            ny = by;
        }
        if (label(nx, ny) < 0)
            return;
        e.to = label(nx, ny);
        e.points.push_back(centre(nx, ny));
        add(std::move(e));
    }

    void walkLoop(int x, int y)
    {
        SkeletonEdge e;
        int px = -9, py = -9;
        int cx = x, cy = y;
        for (;;) {
            state(cx, cy) = Visited;
            e.points.push_back(centre(cx, cy));
            int bx = -1, by = -1;
            for (int d = 0; d < 8 && bx < 0; ++d) {
                const int nx = cx + Dx[d], ny = cy + Dy[d];
                if (inside(nx, ny) && label(nx, ny) == -2 && !(nx == px && ny == py)) {
                    bx = nx;
                    by = ny;
                }
            }
            if (bx < 0)
                break;
            px = cx;
            py = cy;
            cx = bx;
            cy = by;
        }
        if (e.points.size() >= 3)
            add(std::move(e));
    }

    void add(SkeletonEdge &&e)
    {
        const int id = int(m_s.edges.size());
        if (e.from >= 0) {
            m_s.nodes[std::size_t(e.from)].edges.push_back(id);
            m_s.nodes[std::size_t(e.to)].edges.push_back(id);
        }
        m_s.edges.push_back(std::move(e));
    }

    Skeleton &m_s;
    cv::Mat m_thin;
    int m_w, m_h;
    std::unordered_map<std::size_t, int> m_nodeOf;
};

} // namespace

double SkeletonEdge::length() const
{
    double l = 0;
    for (std::size_t i = 1; i < points.size(); ++i)
        l += norm(points[i] - points[i - 1]);
    return l;
}

bool traceSkeleton(
    cv::Mat framed, std::size_t inkPixels, const TraceControl &control, Skeleton &skeleton)
{
    cv::Mat thin = thinToSkeleton(std::move(framed), control);
    if (thin.empty())
        return false;
    const std::size_t length = std::size_t(cv::countNonZero(thin));
    if (length == 0)
        return true;
    skeleton.strokeWidth = std::max(1.0, double(inkPixels) / double(length));
    Walker(std::move(thin), skeleton).run();
    return true;
}
