#pragma once

#include <QByteArray>

// Some cameras, scanners and web tools write JPEG files whose data is complete but whose end
// marker (EOI) is missing. The decoder meets the end of the data where it looks for that
// marker, reports a premature end and would be refused like a file cut short.
//
// Returns the file with the end marker appended when it has none and its scans cover every
// coefficient of every component at full precision, so that nothing but the marker is missing.
// A file cut inside its last scan still lacks data there, which the decoder reports when it
// meets the appended marker too early. Returns a null array when there is nothing to mend: the
// file has its end marker, is no JPEG, or ends before its scans are complete (a progressive file
// cut between two scans would otherwise show at a fraction of its quality).
QByteArray jpegEndMarkerAdded(const QByteArray &data);
