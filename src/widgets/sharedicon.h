#pragma once

#include <QIcon>
#include <QString>

// One icon per icon file for the whole panel, for the rows and windows that come and go with calls.
// The style draws an icon through the icon's engine, and an SVG icon keeps the pixmaps it rendered
// in the process-wide pixmap cache under a key of its own engine: an icon loaded afresh for each
// window or row (as a form's iconset is) leaves its pixmaps behind there with every call, until the
// cache's limit pushes them out. A shared icon renders once per size and mode. GUI thread only.
const QIcon &sharedIcon(const QString &path);
