# Reads a DXF file for CAD and CAM programs with ezdxf and reports, as JSON, what its audit found
# and fixed, the header variables that state unit and extents, the layers, and each entity of
# the model space with its type, layer, closed flag and main figures, in file order.
# Exit code 77 when ezdxf cannot be imported.
import json
import sys

try:
    import ezdxf
except Exception:
    sys.exit(77)

doc = ezdxf.readfile(sys.argv[1])
auditor = doc.audit()
report = {
    'errors': [str(e.message) for e in auditor.errors],
    'fixes': [str(e.message) for e in auditor.fixes],
    'version': doc.dxfversion,
    'header': {name: list(doc.header[name]) if not isinstance(doc.header[name], (int, float))
               else doc.header[name]
               for name in ('$INSUNITS', '$MEASUREMENT', '$EXTMIN', '$EXTMAX')
               if name in doc.header},
    'layers': {layer.dxf.name: layer.dxf.color for layer in doc.layers},
    'entities': [],
}
for e in doc.modelspace():
    item = {'type': e.dxftype(), 'layer': e.dxf.layer}
    if e.dxftype() == 'LWPOLYLINE':
        item['closed'] = e.closed
        item['points'] = [[p[0], p[1], p[4]] for p in e.get_points('xyseb')]
    elif e.dxftype() == 'CIRCLE':
        item['centre'] = [e.dxf.center.x, e.dxf.center.y]
        item['radius'] = e.dxf.radius
    elif e.dxftype() == 'ELLIPSE':
        item['centre'] = [e.dxf.center.x, e.dxf.center.y]
        item['major'] = [e.dxf.major_axis.x, e.dxf.major_axis.y]
        item['ratio'] = e.dxf.ratio
    elif e.dxftype() == 'SPLINE':
        item['controls'] = len(e.control_points)
        item['first'] = list(e.control_points[0])[:2]
        item['last'] = list(e.control_points[-1])[:2]
    report['entities'].append(item)
print(json.dumps(report))
