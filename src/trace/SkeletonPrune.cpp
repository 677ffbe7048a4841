#include "trace/Skeleton.h"

#include <algorithm>

namespace {

void dropEdge(Skeleton &s, int id)
{
    SkeletonEdge &e = s.edges[std::size_t(id)];
    e.removed = true;
    for (int n : { e.from, e.to }) {
        if (n < 0)
            continue;
        auto &list = s.nodes[std::size_t(n)].edges;
        const auto at = std::find(list.begin(), list.end(), id);
        if (at != list.end())
            list.erase(at);
    }
    for (int n : { e.from, e.to }) {
        if (n >= 0 && s.nodes[std::size_t(n)].edges.empty())
            s.nodes[std::size_t(n)].removed = true;
    }
}

// The edge `id` turned to run into node `n`.
std::vector<TPointD> pointsInto(const Skeleton &s, int id, int n)
{
    const SkeletonEdge &e = s.edges[std::size_t(id)];
    std::vector<TPointD> p = e.points;
    if (e.to != n)
        std::reverse(p.begin(), p.end());
    return p;
}

// Joins the two edges at a node of degree two into one.
void joinAt(Skeleton &s, int n)
{
    SkeletonNode &node = s.nodes[std::size_t(n)];
    const int a = node.edges[0], b = node.edges[1];
    SkeletonEdge joined;
    if (a == b) {
        // A loop through the node and nothing else: a closed loop of its own.
        joined.points = s.edges[std::size_t(a)].points;
        joined.points.pop_back();
    } else {
        joined.points = pointsInto(s, a, n);
        std::vector<TPointD> second = pointsInto(s, b, n);
        std::reverse(second.begin(), second.end());
        joined.points.insert(joined.points.end(), second.begin() + 1, second.end());
        const SkeletonEdge &ea = s.edges[std::size_t(a)], &eb = s.edges[std::size_t(b)];
        joined.from = ea.to == n ? ea.from : ea.to;
        joined.to = eb.from == n ? eb.to : eb.from;
    }
    for (int e : { a, b })
        s.edges[std::size_t(e)].removed = true;
    node.edges.clear();
    node.removed = true;
    const int id = int(s.edges.size());
    for (int end : { joined.from, joined.to }) {
        if (end < 0)
            continue;
        auto &list = s.nodes[std::size_t(end)].edges;
        for (int old : { a, b }) {
            const auto at = std::find(list.begin(), list.end(), old);
            if (at != list.end())
                *at = id;
        }
    }
    s.edges.push_back(std::move(joined));
}

// Moves every edge of node `b` to node `a` and drops the edge between them.
void mergeNodes(Skeleton &s, int edge, int a, int b)
{
    dropEdge(s, edge);
    SkeletonNode &nb = s.nodes[std::size_t(b)];
    SkeletonNode &na = s.nodes[std::size_t(a)];
    for (int id : nb.edges) {
        SkeletonEdge &e = s.edges[std::size_t(id)];
        // Each end of the edge that lay at b, once: a self-loop at b is listed twice.
        if (e.from == b) {
            e.from = a;
        } else if (e.to == b) {
            e.to = a;
        }
        na.edges.push_back(id);
    }
    na.at = 0.5 * (na.at + nb.at);
    nb.edges.clear();
    nb.removed = true;
}

bool pruneOnce(Skeleton &s)
{
    const double width = s.strokeWidth;
    std::vector<int> order;
    for (std::size_t i = 0; i < s.edges.size(); ++i) {
        if (!s.edges[i].removed && !s.edges[i].loop())
            order.push_back(int(i));
    }
    std::vector<double> length(s.edges.size());
    for (int id : order)
        length[std::size_t(id)] = s.edges[std::size_t(id)].length();
    std::sort(order.begin(), order.end(),
        [&](int a, int b) { return length[std::size_t(a)] < length[std::size_t(b)]; });
    bool changed = false;
    for (int id : order) {
        const SkeletonEdge &e = s.edges[std::size_t(id)];
        if (e.removed || length[std::size_t(id)] >= width)
            continue;
        const int df = s.degree(e.from), dt = s.degree(e.to);
        const bool spur = (df == 1 && dt >= 3) || (dt == 1 && df >= 3);
        const bool speck = df == 1 && dt == 1;
        const bool selfLoop = e.from == e.to;
        if (spur || speck || selfLoop) {
            dropEdge(s, id);
            changed = true;
        } else if (df >= 3 && dt >= 3) {
            mergeNodes(s, id, e.from, e.to);
            changed = true;
        }
    }
    for (std::size_t n = 0; n < s.nodes.size(); ++n) {
        if (!s.nodes[n].removed && s.degree(int(n)) == 2) {
            joinAt(s, int(n));
            changed = true;
        }
    }
    return changed;
}

} // namespace

void pruneSkeleton(Skeleton &skeleton)
{
    while (pruneOnce(skeleton)) { }
    // Lone loops shorter than the width are specks as well.
    for (SkeletonEdge &e : skeleton.edges) {
        if (!e.removed && e.loop() && e.length() < 2 * skeleton.strokeWidth)
            e.removed = true;
    }
}
