#ifndef DISPLAYSCALING_H
#define DISPLAYSCALING_H

// The form is laid out in pixels for 96 dpi but sizes its fonts in points, so on a scaled
// display its texts would outgrow their places. This makes the whole window scale by the
// display's own factor instead (1.25 at 120 dpi, 2 at 192 dpi) and leaves it untouched at
// 96 dpi. Must run before the application object is built.
void enableDisplayScaling();

#endif
