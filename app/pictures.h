#pragma once
// The window's pictures, converted at build time to the premultiplied pixels
// the painter draws, so that the window decodes nothing at start and never
// needs Qt's image readers or the plugins they look for.
#include <QImage>

#include "picture_data.h"

// The picture over the linked-in pixels (no copy), or a null image for a
// name that is not linked in.
QImage Picture(const char* name);
