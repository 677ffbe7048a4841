# Reads a CNC DXF file with ezdxf and compares every segment with the piece of the drawing it
# stands for. Arguments: the DXF file and a JSON list of the expected segments in file order,
# each {"line": [x0, y0, x1, y1]} or {"bezier": [8 coordinates], "t0": t, "t1": t}.
# Prints a JSON report; exit code 77 when ezdxf cannot be imported.
import json
import math
import sys

try:
    import ezdxf
    from ezdxf.math import bulge_to_arc
except Exception:
    sys.exit(77)


def bezier(c, t):
    mt = 1 - t
    x = mt**3 * c[0] + 3 * t * mt**2 * c[2] + 3 * t**2 * mt * c[4] + t**3 * c[6]
    y = mt**3 * c[1] + 3 * t * mt**2 * c[3] + 3 * t**2 * mt * c[5] + t**3 * c[7]
    return x, y


def on_arc(angle, start, end):
    # ezdxf arcs run counter-clockwise from start to end.
    span = (end - start) % (2 * math.pi)
    offset = (angle - start) % (2 * math.pi)
    return offset <= span + 1e-9 or offset >= 2 * math.pi - 1e-9


doc = ezdxf.readfile(sys.argv[1])
auditor = doc.audit()
expected = json.load(open(sys.argv[2]))
counts = {}
segments = []
for e in doc.modelspace():
    counts[e.dxftype()] = counts.get(e.dxftype(), 0) + 1
    if e.dxftype() != 'POLYLINE':
        continue
    vertices = list(e.vertices)
    if len(vertices) % 2:
        segments.append(None)
    for i in range(0, len(vertices) - 1, 2):
        a, b = vertices[i], vertices[i + 1]
        segments.append(((a.dxf.location.x, a.dxf.location.y), (b.dxf.location.x, b.dxf.location.y), a.dxf.bulge, b.dxf.bulge))

problems = []
arcs = 0
worst = 0.0
if len(segments) != len(expected):
    problems.append('%d segments, expected %d' % (len(segments), len(expected)))
for n, (segment, want) in enumerate(zip(segments, expected)):
    if segment is None:
        problems.append('polyline with an odd number of vertices')
        continue
    start, end, bulge, bulge2 = segment
    if bulge != bulge2:
        problems.append('segment %d: vertices carry different bulges' % n)
    if 'line' in want:
        x0, y0, x1, y1 = want['line']
        if bulge != 0 or math.dist(start, (x0, y0)) > 1e-9 or math.dist(end, (x1, y1)) > 1e-9:
            problems.append('segment %d: not the expected straight line' % n)
        continue
    c = want['bezier']
    t0, t1 = want['t0'], want['t1']
    a, e = bezier(c, t0), bezier(c, t1)
    chord = math.dist(a, e)
    if math.dist(start, a) > 1e-9 * max(1, chord) or math.dist(end, e) > 1e-9 * max(1, chord):
        problems.append('segment %d: ends are not those of its piece' % n)
        continue
    samples = [bezier(c, t0 + (t1 - t0) * k / 16) for k in range(17)]
    if bulge == 0:
        # A straight piece: the curve may not leave the chord by more than 1 % of its length.
        for p in samples:
            dx, dy = e[0] - a[0], e[1] - a[1]
            off = abs(dx * (p[1] - a[1]) - dy * (p[0] - a[0])) / chord if chord > 0 else math.dist(p, a)
            worst = max(worst, off / chord if chord > 0 else 0)
            if off > 0.01 * chord:
                problems.append('segment %d: straight but the piece bends' % n)
                break
        continue
    arcs += 1
    centre, sa, ea, radius = bulge_to_arc(start, end, bulge)
    for p in samples:
        deviation = abs(math.dist(p, (centre[0], centre[1])) - radius)
        worst = max(worst, deviation / chord)
        angle = math.atan2(p[1] - centre[1], p[0] - centre[0])
        if deviation > 0.01 * chord or not on_arc(angle, sa, ea):
            problems.append('segment %d: arc leaves its piece (%.3g of the chord)' % (n, deviation / chord))
            break

print(json.dumps({
    'errors': [str(x.message) for x in auditor.errors],
    'fixes': [str(x.message) for x in auditor.fixes],
    'counts': counts,
    'arcs': arcs,
    'worst': worst,
    'problems': problems[:20],
}))
